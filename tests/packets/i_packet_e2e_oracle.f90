! Independent check of the expected files of the I$ cases (tests/cases/i_run_*): reads the raw
! file (file header, identification version given as an argument, G$ fixes, T$ station, N$
! attitude, I$ packets) with the packets' layouts, computes the values in real*4 / real*8 as the
! packets define them, and projects the fixes with its own LL2UTM written from the projection
! formulas. One pass over the file per letter of CODES, with the values carried from pass to
! pass as one execution of the program carries them (the sensor height too): an I pass writes
! the ICE records to OUT.ice and the binary records, big-endian, to OUT.DAT; a P pass writes the
! ppm records of the T$ packets to OUT.idf; the console lines of the I start go to standard output.
! Run: gfortran i_packet_e2e_oracle.f90 -o oracle
!      ./oracle RAWFILE VERSION CODES HEIGHT OUT
program i_packet_e2e_oracle
  implicit none
  character(len=120) :: line, arg, out
  character(len=8) :: codes
  character(len=1) :: otype
  character(len=250) :: sentence
  real*4 :: version, height, ptch, roll, aux, val(5), f1, f11
  integer :: ios, k, hr, mn, sc, pr, rr, hraw, araw, m, raw(5), dsec, lineno, station, zone
  integer :: mode, sats, ideg
  real*4 :: hdop, alt
  real*8 :: lat, lon, east, north, rmin, cf, pi_d, alat
  integer :: gtime, nfix, pass
  real*8 :: sumlat, sumlon
  logical :: pending

  call get_command_argument(1, arg)
  open (1, file=trim(arg), status='old')
  call get_command_argument(2, arg); read (arg, *) version
  call get_command_argument(3, codes)
  call get_command_argument(4, arg); read (arg, *) height
  call get_command_argument(5, out)
  open (7, file=trim(out)//'.ice', status='replace')
  open (8, file=trim(out)//'.idf', status='replace')
  open (12, file=trim(out)//'.DAT', access='stream', form='unformatted', convert='big_endian', &
        status='replace')

  pi_d = 3.1415927
  cf = pi_d*2.0*9000.0*4.0e-7*pi_d
  f1 = cf*1.0d0*1.0d0*0.25*1000.0/1000.0
  f11 = cf*dble(1.1)*dble(1.1)*0.25*1000.0/1000.0

  ! The mean position fixes the zone: first pass over the G$ lines.
  nfix = 0; sumlat = 0; sumlon = 0
  do
    read (1, '(A)', iostat=ios) line
    if (ios /= 0) exit
    if (line(2:3) /= 'G$') cycle
    call gga(line, lat, lon, gtime, mode, sats, hdop, alt)
    nfix = nfix + 1; sumlat = sumlat + lat; sumlon = sumlon + lon
  end do
  rewind (1)
  zone = 0
  if (nfix > 0) then
    alat = sumlat/nfix*3600
    call ll2utm(east, north, alat, -(sumlon/nfix*3600), zone)
  end if

  lat = 0; lon = 0; gtime = 0; mode = 0; sats = 0; hdop = 0; alt = 0
  ptch = 0; roll = 0; aux = 0; raw = 0; station = 0; lineno = 0
  do pass = 1, len_trim(codes)
  otype = codes(pass:pass)
  pending = otype == 'I'
  rewind (1)
  do
    read (1, '(A)', iostat=ios) line
    if (ios /= 0) exit
    if (line(2:3) == 'Z$') exit
    if (line(2:3) == 'H$') lineno = 1
    if (line(2:3) == 'G$') call gga(line, lat, lon, gtime, mode, sats, hdop, alt)
    if (line(2:3) == 'T$') then
      read (line, '(10X, I6)') station
      if (otype == 'P') write (8, "(I6, F6.2, 2F7.2, 4F9.0, F12.6, 1X, F12.6, 1X, F7.1, 1X, " // &
        "I2, I10, 2I2, I3, F9.3)") station, height, ptch, roll, 1000.0*(-250/100.0), &
        1000.0*(1234/10.0)*f1, 1000.0*(310/100.0), 1000.0*(1100/10.0)*f11, lat, lon, alt, &
        mode, gtime, 0, 0, sats, hdop
    end if
    if (line(2:3) == 'N$') then
      read (line, '(22X, 2I6)') pr, rr
      ptch = pr/100.0; roll = rr/100.0
    end if
    if (line(2:3) /= 'I$') cycle
    read (line, '(29X, I2)', iostat=ios) m
    if (ios /= 0 .or. m < 0 .or. m > 5) cycle
    read (line, '(1X, 2X, 3I2, 1X, I4, I4, I4, 1X, I5, 1X, I2, 1X, I5, 4I6)', iostat=ios) &
      hr, mn, sc, pr, rr, hraw, araw, m, raw(1:m)
    if (ios /= 0) cycle
    dsec = (hr*60 + mn)*60 + sc
    if (version >= 6.1) then
      ptch = pr/10.0; roll = rr/10.0; height = hraw/100.0; aux = araw/10000.0
    end if
    val = [raw(1)/10000.0, raw(2)/100.0, raw(3)/1000.0, raw(4)/100.0, raw(5)/1000.0]
    if (nfix > 0) then
      alat = lat*3600
      call ll2utm(east, north, alat, -(lon*3600), zone)
    else
      east = lineno; north = station
    end if
    if (pending) then
      if (nfix > 0) write (*, *) '    Ellipsoid used is ', 9, ' zone ', zone
      write (*, "(I6, F12.2, I6)") -9, height
      pending = .false.
    end if
    if (otype /= 'I') cycle
    write (7, "(2F14.6, I3, " // repeat('F9.4, ', m) // "F7.4, I2, F7.2, 2F7.2, 1X, I12, I2, " // &
      "I4, 2F14.1, 2I4, F9.3, F8.1)") lat, lon, m, val(1:m), aux, 1, height, ptch, roll, dsec, &
      0, 0, east, north, mode, sats, hdop, alt
    write (12) int(lat*1.0d7), int(lon*1.0d7), dsec, height, val(2), real(int(aux*1000.0)), &
      val(1), 0.0, achar(0), achar(0), achar(0)
  end do
  end do

contains

  ! The fields of a GGA sentence that the records use (checksums of the test data are right).
  subroutine gga(line, lat, lon, gtime, mode, sats, hdop, alt)
    character(len=*), intent(in) :: line
    real*8, intent(out) :: lat, lon
    integer, intent(out) :: gtime, mode, sats
    real*4, intent(out) :: hdop, alt
    character(len=20) :: f(10)
    integer :: i, j, c, h, mi, s
    sentence = line(4:)
    c = 1; j = 1; f = ' '
    do i = 7, len_trim(sentence)
      if (sentence(i:i) == ',' .or. sentence(i:i) == '*') then
        f(c) = sentence(j:i - 1); c = c + 1; j = i + 1
        if (c > 10) exit
      else if (j == 1) then
        j = i
      end if
    end do
    read (f(1), '(3I2)') h, mi, s
    gtime = ((h*60 + mi)*60 + s)*1000
    read (f(2), '(I2, F7.4)') ideg, rmin
    lat = ideg + rmin/60.0d0
    if (f(3) == 'S') lat = -lat
    read (f(4), '(I3, F7.4)') ideg, rmin
    lon = ideg + rmin/60.0d0
    if (f(5) == 'W') lon = -lon
    read (f(6), *) mode
    read (f(7), *) sats
    read (f(8), '(F5.1)') hdop
    read (f(9), '(F5.1)') alt
  end subroutine gga

  ! Transverse Mercator on the GRS 80 ellipsoid; latitude and longitude in arc-seconds, the
  ! longitude positive west; zone 0 asks for the zone of the longitude.
  subroutine ll2utm(east, north, alat, alon, zone)
    real*8, intent(out) :: east, north
    real*8, intent(inout) :: alat
    real*8, intent(in) :: alon
    integer, intent(inout) :: zone
    real*8, parameter :: rho = 206264.8062470964d0, a = 6378137.0d0, b = 6356752.31414d0
    real*8 :: e2, ep2, lam0, phi, dlam, n, t, c, aa, mm
    integer :: z
    e2 = (a*a - b*b)/(a*a); ep2 = e2/(1 - e2)
    if (zone == 0) then
      z = 30 - int(alon/21600)
      if (alon < 0) z = 31 - int(alon/21600)
    else
      z = zone
    end if
    if (abs(z) > 30) then
      lam0 = ((abs(z) - 30)*6 - 3)*(-3600d0)
    else
      lam0 = ((30 - abs(z))*6 + 3)*3600d0
    end if
    if (alat < 0) z = -abs(z)
    if (z < 0) alat = -abs(alat)
    if (zone == 0) zone = z
    if (alat < 0 .and. zone > 0) zone = -zone
    phi = alat/rho; dlam = -(alon - lam0)/rho
    n = a/sqrt(1 - e2*sin(phi)**2); t = tan(phi)**2; c = ep2*cos(phi)**2; aa = dlam*cos(phi)
    mm = a*((1 - e2/4 - 3*e2**2/64 - 5*e2**3/256)*phi &
            - (3*e2/8 + 3*e2**2/32 + 45*e2**3/1024)*sin(2*phi) &
            + (15*e2**2/256 + 45*e2**3/1024)*sin(4*phi) - (35*e2**3/3072)*sin(6*phi))
    east = 0.9996d0*n*(aa + (1 - t + c)*aa**3/6 + (5 - 18*t + t**2 + 72*c - 58*ep2)*aa**5/120) &
           + 500000d0
    north = 0.9996d0*(mm + n*tan(phi)*(aa**2/2 + (5 - t + 9*c + 4*c**2)*aa**4/24 &
            + (61 - 58*t + t**2 + 600*c - 330*ep2)*aa**6/720))
    if (z < 0 .or. alat < 0) north = north + 10000000d0
  end subroutine ll2utm
end program i_packet_e2e_oracle
