program records
  implicit none
  ! current fix after each G$ line: none yet, the GPGGA fix, the GNGGA fix (the bad GNGGA is dropped)
  real*8 :: lat(3), lon(3), east(3), north(3)
  real*4 :: alt(3)
  integer :: gtime(3), dmode(3), k
  integer :: stn(4) = (/ 16, 17, 18, 19 /), sec(4) = (/ 0, 1, 2, 4 /)
  integer :: fixof(4) = (/ 1, 2, 3, 3 /)
  real*4 :: hc, hi, pc, pi
  hc = 1234 / 10.0; hi = -25 / 100.0; pc = 1100 / 10.0; pi = 310 / 100.0
  lat = (/ 0d0, 45 + 0d0/60, 45 + 1.2d0/60 /)
  lon = (/ 0d0, 5 + 58d0/60, 6 + 4d0/60 /)
  alt = (/ 0.0, 100.0, 101.5 /)
  ! before the first G$ line the time and quality are those of the last sentence the pre-scan read
  gtime = (/ 43202000, 43201000, 43202000 /)
  dmode = (/ 4, 1, 4 /)
  ! GeoConvert -u -z 32 of the two fixes
  east = (/ 0d0, 260926.793776d0, 268888.849075d0 /)
  north = (/ 0d0, 4987427.404803d0, 4989358.708024d0 /)
  open(1, file='MIXED.xyz')
  do k = 1, 4
    write(1, '(I6, I6, 4F9.2, I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)') &
      stn(k), 1, hc, hi, pc, pi, 0, 12, 0, real(sec(k)), 0.0, 0.0, 0, 0.0, 0.0, &
      gtime(fixof(k)), lat(fixof(k)), lon(fixof(k)), alt(fixof(k)), dmode(fixof(k))
  end do
  close(1)
  open(1, file='MIXED.san')
  write(1, '(I6, F12.2, I6)') -9, 0.5
  ! the S run starts with the last fix of the X run
  fixof(1) = 3
  do k = 1, 4
    write(1, '(F12.1, 1X, F12.1, 1X, F8.2, 2F9.2, 2F14.8, I12)') east(fixof(k)), north(fixof(k)), 0.0, &
      hc, pc, lat(fixof(k)), lon(fixof(k)), gtime(fixof(k))
  end do
  close(1)
end program
