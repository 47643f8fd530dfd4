! Independent check of the expected files of the case example_three_arrays: a small transcriber of
! the survey of a three-array instrument (software 5.2, model 421) as the example file holds it
! (one H$ line, identification, sampling and comment C$ lines, G$ fixes, 76-column D$ and
! 62-column X$ lines, R$ and 34-column S$ lines, Z$), written from the record layouts. Values
! are computed in real*4 (channels) and real*8 (positions, with its own UTM projection written
! from the projection formulas) and written with gfortran's formatted output; the CSV values are
! the shortest decimal that reads back as the same real, as the CSV file's rule asks.
! One execution per code, as one execution of the program:
!   gfortran three_arrays_oracle.f90 -o oracle && ./oracle three_arrays.raw X
! writes, in the current folder, every file that code leaves (main file, comment file, GPS side
! file, raw copy file, sensor-definition file, an empty binary file for I), under the program's
! names for the logger file FIELD421, and prints the console text of that execution.
module survey
  implicit none
  integer :: hour = 0, minute = 0, second = 0, msec = 0, station = 0, lineno = 0, ndigit = 0
  character(1) :: stn_suffix = ' ', line_suffix = ' '
  integer :: volt_raw = 0, temp_raw = 0, pitch_raw = 0, roll_raw = 0
  real*4 :: voltage = 0.0, temperature = 0.0, pitch = 0.0, roll = 0.0
  integer :: raw_hi(3) = 0, raw_pi(3) = 0, raw_hq(3) = 0, raw_pq(3) = 0
  real*4 :: hc(3) = 0.0, hi(3) = 0.0, pc(3) = 0.0, pi(3) = 0.0
  integer :: length_code = 0, n = 1, cn = -1, dat31_last = -9999999
  real*4 :: s_hc(3) = 0.0, s_pc(3) = 0.0, f_hc(3) = 0.0, f_pc(3) = 0.0
  real*4 :: height = 0.2
  character(8) :: logger_name = ' '
  character(12) :: file_name = ' '
  character(16) :: comments(100)
  integer :: ncomments = 0
  integer :: fyear = 0, fmonth = 0, fday = 0
  character(1) :: code
  logical :: santos_due, sdf_pending, array1_read, csv_header_due
  real*8 :: cfac
  ! The current fix and the projection
  integer :: gps_time = 0, dmode = 0, sats = 0, zone = 0
  real*8 :: lat = 0d0, lon = 0d0
  real*4 :: hdop = 0.0, alt = 0.0
  logical :: has_gps = .false.
  ! Raw copies
  integer :: r_count = 0, r_last(4) = 0, r_set1(7) = 0, r_set2(7) = 0
  logical :: r_paired = .false., r_second = .false.
  ! What the summary line counts: the data records of the main file
  integer :: records_written = 0
contains
  real*4 function factor(s)
    real*4, intent(in) :: s
    factor = real(cfac*dble(s)*dble(s)*0.25d0*1000.0d0/1000.0d0, 4)
  end function factor

  real*4 function angle(r)
    integer, intent(in) :: r
    if (r > 320) then
      angle = real(r - 300)
    else if (r < -320) then
      angle = real(r + 300)
    else
      angle = real(r)/10.0
    end if
  end function angle

  subroutine configure()
    integer :: k
    if (length_code /= 421) stop 'the oracle knows code 421 only'
    n = 3; s_hc = (/1.0, 2.0, 4.0/); s_pc = (/1.1, 2.1, 4.1/)
    do k = 1, n
      f_hc(k) = factor(s_hc(k)); f_pc(k) = factor(s_pc(k))
    end do
  end subroutine configure

  subroutine geosoft_header()
    character(19) :: name19
    name19 = file_name
    write (7, "('\Veltor Filename is ', A19)") name19
    write (7, "('\Veltor Sensor Length Code is ', I2)") length_code
    write (7, '(A)') '\..STN.SP.LINE.LP.'// &
      'HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt.'// &
      'HC4-mS/m.HI4-ppt.PC4-mS/m..PI4-ppt.'// &
      '.N.HH.MM.SS.V.......T-K.....CN..Ptch...Roll'// &
      '......GPS_TIME..Lat..........Lon.........GPS_Alt.DMode'
  end subroutine geosoft_header

  real*4 function seconds()
    seconds = real(second) + real(msec)/1000.0
  end function seconds

  ! ---- the shortest decimal that reads back as the same value, in fixed notation ----
  function fixed_form(es) result(t)
    character(*), intent(in) :: es  ! a number written with an ES edit descriptor
    character(400) :: t
    character(40) :: digits
    integer :: i, e, nd, p
    logical :: negative
    t = ' '
    negative = index(es, '-') > 0 .and. index(es, '-') < index(es, 'E')
    digits = ' '; nd = 0
    p = index(es, 'E')
    do i = 1, p - 1
      if (es(i:i) >= '0' .and. es(i:i) <= '9') then
        nd = nd + 1; digits(nd:nd) = es(i:i)
      end if
    end do
    read (es(p+1:), *) e
    if (digits(1:1) == '0') then
      t = '0'
    else if (e >= nd - 1) then
      t = digits(1:nd)//repeat('0', e - (nd - 1))
    else if (e >= 0) then
      t = digits(1:e+1)//'.'//digits(e+2:nd)
    else
      t = '0.'//repeat('0', -e - 1)//digits(1:nd)
    end if
    if (negative) t = '-'//trim(t)
  end function fixed_form

  function short4(v) result(t)
    real*4, intent(in) :: v
    character(400) :: t
    character(40) :: es, f
    real*4 :: w
    integer :: d
    do d = 1, 9
      write (f, "('(ES40.', I0, 'E3)')") d - 1
      write (es, f) v
      read (es, *) w
      if (w == v) exit
    end do
    t = fixed_form(trim(adjustl(es)))
  end function short4

  function short8(v) result(t)
    real*8, intent(in) :: v
    character(400) :: t
    character(40) :: es, f
    real*8 :: w
    integer :: d
    do d = 1, 17
      write (f, "('(ES40.', I0, 'E3)')") d - 1
      write (es, f) v
      read (es, *) w
      if (w == v) exit
    end do
    t = fixed_form(trim(adjustl(es)))
  end function short8

  function int_text(i) result(t)
    integer, intent(in) :: i
    character(20) :: t
    write (t, '(I0)') i
  end function int_text

  ! ---- position ----
  subroutine project(east, north)
    real*8, intent(out) :: east, north
    real*8 :: alat
    alat = lat*3600d0
    call ll2utm(east, north, alat, -(lon*3600d0), zone)
  end subroutine project

  ! Transverse Mercator on the GRS 80 ellipsoid, the series of the projection formulas;
  ! latitude and longitude in arc-seconds, the longitude positive west; zone 0 asks for the
  ! zone of the longitude.
  subroutine ll2utm(east, north, alat, alon, z_io)
    real*8, intent(out) :: east, north
    real*8, intent(inout) :: alat
    real*8, intent(in) :: alon
    integer, intent(inout) :: z_io
    real*8, parameter :: rho = 206264.8062470964d0, a = 6378137.0d0, b = 6356752.31414d0
    real*8 :: e2, ep2, lam0, phi, dlam, nn, t, c, aa, mm
    integer :: z
    e2 = (a*a - b*b)/(a*a); ep2 = e2/(1 - e2)
    if (z_io == 0) then
      z = 30 - int(alon/21600)
      if (alon < 0) z = 31 - int(alon/21600)
    else
      z = z_io
    end if
    if (abs(z) > 30) then
      lam0 = ((abs(z) - 30)*6 - 3)*(-3600d0)
    else
      lam0 = ((30 - abs(z))*6 + 3)*3600d0
    end if
    if (alat < 0) z = -abs(z)
    if (z < 0) alat = -abs(alat)
    if (z_io == 0) z_io = z
    if (alat < 0 .and. z_io > 0) z_io = -z_io
    phi = alat/rho; dlam = -(alon - lam0)/rho
    nn = a/sqrt(1 - e2*sin(phi)**2); t = tan(phi)**2; c = ep2*cos(phi)**2; aa = dlam*cos(phi)
    mm = a*((1 - e2/4 - 3*e2**2/64 - 5*e2**3/256)*phi &
            - (3*e2/8 + 3*e2**2/32 + 45*e2**3/1024)*sin(2*phi) &
            + (15*e2**2/256 + 45*e2**3/1024)*sin(4*phi) - (35*e2**3/3072)*sin(6*phi))
    east = 0.9996d0*nn*(aa + (1 - t + c)*aa**3/6 + (5 - 18*t + t**2 + 72*c - 58*ep2)*aa**5/120) &
           + 500000d0
    north = 0.9996d0*(mm + nn*tan(phi)*(aa**2/2 + (5 - t + 9*c + 4*c**2)*aa**4/24 &
            + (61 - 58*t + t**2 + 600*c - 330*ep2)*aa**6/720))
    if (z < 0 .or. alat < 0) north = north + 10000000d0
  end subroutine ll2utm

  ! The fields of a GGA sentence (the example's checksums are right; the test data has all
  ! ten fields).
  subroutine gga(sentence)
    character(*), intent(in) :: sentence
    character(20) :: f(10)
    integer :: i, j, c, h, mi, s, ideg
    real*8 :: rmin
    c = 1; j = 7; f = ' '
    do i = 7, len_trim(sentence)
      if (sentence(i:i) == ',' .or. sentence(i:i) == '*') then
        f(c) = sentence(j:i - 1); c = c + 1; j = i + 1
        if (c > 10) exit
      end if
    end do
    read (f(1), '(3I2)') h, mi, s
    gps_time = ((h*60 + mi)*60 + s)*1000
    read (f(2), '(I2, F7.4)') ideg, rmin
    lat = ideg + rmin/60.0d0
    if (f(3) == 'S') lat = -lat
    read (f(4), '(I3, F7.4)') ideg, rmin
    lon = ideg + rmin/60.0d0
    if (f(5) == 'W') lon = -lon
    read (f(6), *) dmode
    read (f(7), *) sats
    read (f(8), '(F5.1)') hdop
    read (f(9), '(F5.1)') alt
  end subroutine gga

  ! ---- records ----
  subroutine dat31()
    if (lineno /= dat31_last) then
      write (7, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") lineno, ndigit, line_suffix, stn_suffix, 1.0
      write (7, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") hour, minute, fday, fmonth, fyear
      dat31_last = lineno
    end if
    write (7, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', station, hc(1), hi(1)
    write (7, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', station, pc(1), pi(1)
    records_written = records_written + 1  ! a station's two S records count once
  end subroutine dat31

  subroutine log_record()
    integer :: k
    write (7, "(I6, 3(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12," // &
      " F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") station, (hc(k), hi(k), pc(k), pi(k), k = 1, n), &
      ndigit, ichar(stn_suffix), lineno, ichar(line_suffix), hour, minute, seconds(), voltage, &
      temperature, cn, pitch, roll, gps_time, lat, lon, alt, dmode
  end subroutine log_record

  subroutine xyz_record()
    integer :: k
    write (7, "(I6, I6, 3(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X," // &
      " F12.6, 1X, F7.1, 1X, I2)") station, lineno, (hc(k), hi(k), pc(k), pi(k), k = 1, n), &
      ndigit, hour, minute, seconds(), voltage, temperature, cn, pitch, roll, gps_time, lat, lon, &
      alt, dmode
  end subroutine xyz_record

  subroutine geosoft_record()
    integer :: k
    write (7, "(I6, 1X, A1, I6, 1X, A1, 3(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X," // &
      " I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") station, stn_suffix, lineno, line_suffix, &
      (hc(k), hi(k), pc(k), pi(k), k = 1, n), ndigit, hour, minute, seconds(), voltage, &
      temperature, cn, pitch, roll, gps_time, lat, lon, alt, dmode
  end subroutine geosoft_record

  subroutine santos_record()
    integer :: k
    real*8 :: x, y
    if (santos_due) then
      write (7, "(I6, F12.2, I6)") -9, height
      santos_due = .false.
    end if
    call project(x, y)
    write (7, "(F12.1, 1X, F12.1, 1X, F8.2, 3(2F9.2), 2F14.8, I12)") x, y, 0.0, &
      (hc(k), pc(k), k = 1, n), lat, lon, gps_time
  end subroutine santos_record

  subroutine ppm_record()
    integer :: k
    if (sdf_pending .and. s_hc(1) /= 0.0 .and. s_pc(1) /= 0.0) then
      open (8, file=trim(logger_name)//'.SDF', status='replace')
      write (8, *) 2*n
      do k = 1, n
        write (8, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 1, 1, 9000.0, s_hc(k), 3, 0.0, 1.0, &
          0.0, 1.0, 1.0
        write (8, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 0, 1, 9000.0, s_pc(k), 4, 0.0, 1.0, &
          0.0, 1.0, 1.0
      end do
      close (8)
      sdf_pending = .false.
    end if
    write (7, "(I6, F6.2, 2F7.2, 3(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, I3," // &
      " F9.3)") station, height, pitch, roll, (1000.0*hi(k), 1000.0*hc(k)*f_hc(k), 1000.0*pi(k), &
      1000.0*pc(k)*f_pc(k), k = 1, n), lat, lon, alt, dmode, gps_time, 0, 0, sats, hdop
  end subroutine ppm_record

  subroutine csv_row()
    character(4000) :: row
    character(8) :: rx(2)
    integer :: k, r
    real*8 :: x, y
    real*4 :: s
    if (csv_header_due) then
      row = 'station,line,time,x,y,utm_zone,elevation,latitude,longitude,gps_quality'
      do k = 1, n
        rx = (/'_inph   ', '        '/)
        do r = 2, 1, -1
          s = s_hc(k)
          row = trim(row)//',HCP'//trim(short4(s))//'f9000h'//trim(short4(height))//trim(rx(r))
          s = s_pc(k)
          row = trim(row)//',PRP'//trim(short4(s))//'f9000h'//trim(short4(height))//trim(rx(r))
        end do
      end do
      write (7, '(A)') trim(row)//',voltage,temperature,pitch,roll,comment'
      csv_header_due = .false.
    end if
    write (row, "(I0, ',', I0, ',', I2.2, ':', I2.2, ':', I2.2, '.', I3.3)") station, lineno, &
      hour, minute, second, msec
    if (has_gps .and. (lat /= 0d0 .or. lon /= 0d0)) then
      call project(x, y)
      row = trim(row)//','//trim(short8(x))//','//trim(short8(y))//','//trim(int_text(zone))// &
        ','//trim(short4(alt))//','//trim(short8(lat))//','//trim(short8(lon))//','// &
        trim(int_text(dmode))
    else
      row = trim(row)//',,,,,,,'
    end if
    do k = 1, n
      row = trim(row)//','//trim(short4(hc(k)))//','//trim(short4(pc(k)))//','// &
        trim(short4(hi(k)))//','//trim(short4(pi(k)))
    end do
    row = trim(row)//','//trim(short4(voltage))//','//trim(short4(temperature))//','// &
      trim(short4(pitch))//','//trim(short4(roll))//','
    if (cn > 0) row = trim(row)//trim(int_text(cn))
    write (7, '(A)') trim(row)
  end subroutine csv_row

  ! Record selection of D$ (from_x false) and X$ lines: D writes array 1 at the D$ line, L, X,
  ! G, S, P and C the three arrays at the X$ line; I and R write no station record.
  subroutine records(from_x)
    logical, intent(in) :: from_x
    if (code == 'D') then
      if (.not. from_x) call dat31()
      return
    end if
    if (code == 'I' .or. code == 'R') return
    if (.not. (from_x .or. n == 1)) return
    records_written = records_written + 1
    select case (code)
    case ('L'); call log_record()
    case ('X'); call xyz_record()
    case ('G'); call geosoft_record()
    case ('S'); call santos_record()
    case ('P'); call ppm_record()
    case ('C'); call csv_row()
    end select
  end subroutine records

  ! ---- line kinds ----
  subroutine header_line(line)
    character(120), intent(in) :: line
    character(3) :: ext
    logger_name = line(11:18)
    select case (code)
    case ('X', 'G'); ext = 'xyz'
    case ('D'); ext = 'g31'
    case ('L'); ext = 'log'
    case ('S'); ext = 'san'
    case ('P'); ext = 'idf'; sdf_pending = .true.
    case ('I'); ext = 'ice'
    case ('C'); ext = 'csv'
    case default; ext = ' '
    end select
    file_name = trim(logger_name)//'.'//ext
    read (line(20:25), '(3I2)') fyear, fmonth, fday
    read (line(27:), *) length_code
    read (line(4:9), '(3I2)') hour, minute, second
    msec = 0
    call configure()
    lineno = 1
    voltage = 0.0; temperature = 0.0
    cn = 0; ncomments = 0
    ! The default files of the set-up are left empty (the header is the first line) and the
    ! files of the logger file replace them.
    if (code == 'R') file_name = trim(logger_name)//'.raw'  ! R has no main file; its name shows
    print *, '   Output file: ', file_name//'       '
    print *, '   Sensor Length code for this file is ', length_code
    if (ext /= ' ') open (7, file=trim(file_name), status='replace')
    if (code == 'I') then
      open (12, file=trim(logger_name)//'.DAT', access='stream', status='replace')
      close (12)
    end if
    open (10, file=trim(logger_name)//'.GPS', status='replace')
    open (9, file=trim(logger_name)//'.CMT', status='replace')
    if (code == 'D') then
      write (7, "('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ')") logger_name
      dat31_last = -9999999
    else if (code == 'G') then
      call geosoft_header()
    end if
  end subroutine header_line

  subroutine config_line(line)
    character(120), intent(in) :: line
    character(16) :: comment
    integer :: k
    if (line(4:9) == '000000') then  ! identification: model 421, software 5.2
      read (line(4:9), '(3I2)') hour, minute, second
      msec = 0
      read (line(18:20), '(I3)') length_code
      write (*, '(A14, A40)') 'InstrumentID >', line(11:50)
      if (code == 'G') call geosoft_header()
      call configure()
      return
    end if
    if (index(line, 'Sample') > 0 .and. index(line, 'Hz') > 0) then
      read (line(index(line, 'Sample')+6:index(line, 'Hz')-1), '(I5)') k
      print *, 'Sampling frequency is ', k, ' Hz'
      return
    end if
    read (line, '(3X, 3I2, 1X, A16)') hour, minute, second, comment
    msec = 0
    write (*, "(A8, A16, ' at: ', 3I3)") 'Comment>', comment, hour, minute, second
    do k = 1, 16  ! upper case; the example's comments are upper case already
      if (comment(k:k) >= 'a' .and. comment(k:k) <= 'z') comment(k:k) = achar(iachar(comment(k:k)) - 32)
    end do
    do k = 1, ncomments
      if (comments(k) == comment) exit
    end do
    if (k > ncomments) then
      ncomments = k; comments(k) = comment
      write (9, '(I5, 1X, A16)') k, comment
    end if
    cn = k
    if (code == 'G') write (7, "('\', A16, ' at: ', 3I3)") comment, hour, minute, second
  end subroutine config_line

  subroutine g_line(line)
    character(120), intent(in) :: line
    integer :: p
    p = index(line, 'GPGGA')
    call gga(line(p:))
    write (10, '(A)') '$'//trim(line(p:))
  end subroutine g_line

  subroutine d_line(line)
    character(120), intent(in) :: line
    integer :: k
    if (len_trim(line) /= 76) stop 'the example holds 76-column D$ lines only'
    read (line, "(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)") &
      hour, minute, second, msec, lineno, line_suffix, station, stn_suffix, ndigit, raw_hq(1), &
      raw_hi(1), raw_pq(1), raw_pi(1), volt_raw, temp_raw, pitch_raw, roll_raw
    pitch = angle(pitch_raw); roll = angle(roll_raw)
    voltage = real(volt_raw)/1000.0
    temperature = real(temp_raw)/100.0
    ! No O$ line: the user offsets stay 0, and 0 divided by a factor is 0.
    do k = 1, 3
      pc(k) = real(raw_pq(k))/10.0 - 0.0/f_pc(1)
      hc(k) = real(raw_hq(k))/10.0 - 0.0/f_hc(1)
      pi(k) = real(raw_pi(k))/100.0 - 0.0
      hi(k) = real(raw_hi(k))/100.0 - 0.0
    end do
    array1_read = .true.
    call records(.false.)
  end subroutine d_line

  subroutine x_line(line)
    character(120), intent(in) :: line
    integer :: k
    if (len_trim(line) /= 62) stop 'the example holds 62-column X$ lines only'
    read (line, "(3X, 3I2, 1X, I3, 1X, 8I6)") hour, minute, second, msec, &
      (raw_hq(k), raw_hi(k), raw_pq(k), raw_pi(k), k = 2, n)
    do k = 2, n  ! tag CONV (the D$ packet's)
      pc(k) = real(raw_pq(k))/10.0 - 0.0/f_pc(k)
      hc(k) = real(raw_hq(k))/10.0 - 0.0/f_hc(k)
      pi(k) = real(raw_pi(k))/100.0 - 0.0
      hi(k) = real(raw_hi(k))/100.0 - 0.0
    end do
    if (array1_read) call records(.true.)
  end subroutine x_line

  subroutine r_line(line)
    character(120), intent(in) :: line
    integer :: v(7)
    read (line, '(3X, 7I8)') v
    if (all((/hour, minute, second, msec/) == r_last)) then
      r_set2 = v; r_paired = .true.; r_second = .true.
    else
      r_set1 = v; r_count = r_count + 1; r_last = (/hour, minute, second, msec/); r_second = .false.
    end if
    if (r_second .and. r_paired) then
      write (14, "(1X, I9, 3I3, '.', I3, 14I10)") r_count, hour, minute, second, msec, r_set1, r_set2
    else if (.not. r_paired .or. r_second) then
      write (14, "(1X, I9, 3I3, '.', I3, 7I10)") r_count, hour, minute, second, msec, r_set1
    end if
  end subroutine r_line

  subroutine s_line(line)
    character(120), intent(in) :: line
    if (len_trim(line) /= 34) stop 'the example holds 34-column S$ lines only'
    read (line, '(3X, 3I2, 1X, I5, 1X, I5, 1X, 2I6)') hour, minute, second, volt_raw, temp_raw, &
      pitch_raw, roll_raw
    voltage = real(volt_raw)/1000.0; temperature = real(temp_raw)/100.0
    pitch = real(pitch_raw)/100.0; roll = real(roll_raw)/100.0
    if (temperature > 1000.0) temperature = temperature/10.0
  end subroutine s_line
end module survey

program three_arrays_oracle
  use survey
  implicit none
  character(256) :: raw_name, arg
  character(120) :: line
  integer :: ios, fixes, lines_read
  real*8 :: sum_lat, sum_lon, x, y

  cfac = dble(3.1415927)*2.0d0*9000.0d0*dble(4.0e-7)*dble(3.1415927)
  call get_command_argument(1, raw_name)
  call get_command_argument(2, arg)
  code = arg(1:1)
  santos_due = code == 'S'
  sdf_pending = .false.
  csv_header_due = code == 'C'
  array1_read = .false.
  open (1, file=raw_name, status='old')
  print *, '***************************************************'
  print *, '************* Program QUILLET5 V1.71 **************'
  print *, '******* Transcribes Veltor Data RAW Files  ********'
  print *, '***************************************************'
  print *, '>>>Transcribe file '//trim(raw_name)//' to file type '//code
  print *
  print *, '*** Transcription v1.20 ***'
  print *  ! the height came from the command line
  print *, 'Default/user-set instrument height (at axis of sensor) is ', height
  print *, 'Enter Sensor height manually or type / followed by <ENTER> to accept this value '

  ! Pre-scan: the mean of the fixes gives the zone.
  fixes = 0; sum_lat = 0; sum_lon = 0
  do
    read (1, '(A)', iostat=ios) line
    if (ios /= 0) exit
    if (line(2:3) /= 'G$') cycle
    call gga(line(index(line, 'GPGGA'):))
    fixes = fixes + 1; sum_lat = sum_lat + lat; sum_lon = sum_lon + lon
  end do
  rewind (1)
  has_gps = fixes > 0
  if (has_gps) then
    lat = sum_lat/fixes; lon = sum_lon/fixes
    call project(x, y)
    print *, 'For mean Lat, Lon=', lat, lon, ' get UTM Zone Number ', zone
    lat = 0; lon = 0
  end if
  ! The set-up's default side file of auxiliary records: the header line ends it, empty, and the
  ! logger file's own one, which no A$ line fills, is deleted at the end.
  if (code == 'X' .or. code == 'G' .or. code == 'C') then
    open (15, file='Default.xyx', status='replace')
    close (15)
  end if

  open (14, file='Default.RAW', status='replace')
  lines_read = 0
  do
    read (1, '(A)', iostat=ios) line
    if (ios /= 0) exit
    lines_read = lines_read + 1
    select case (line(2:3))
    case ('Z$'); exit
    case ('H$'); call header_line(line)
    case ('C$'); call config_line(line)
    case ('G$'); call g_line(line)
    case ('D$'); call d_line(line)
    case ('X$'); call x_line(line)
    case ('R$'); call r_line(line)
    case ('S$'); call s_line(line)
    case default; stop 'a line kind the example does not hold'
    end select
  end do
  close (1); close (7); close (9); close (10); close (14)
  print *, '   Normal end of data encountered.'
  print *, '   Data  successfully transcribed!'
  write (*, "(A, I0, A, I0, A)") '    Summary: ', lines_read, ' lines read, ', records_written, &
    ' station records written, 0 lines skipped'
end program three_arrays_oracle
