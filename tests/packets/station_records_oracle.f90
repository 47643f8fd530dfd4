! Independent check of the station output lines expected by station_output_test.cpp: the same
! values written with gfortran's formatted output in the records' layouts.
! Run: gfortran station_records_oracle.f90 -o oracle && ./oracle
program station_records_oracle
  implicit none
  integer :: station, lineno, hour, minute, isec, msec, ndig, aux1, aux2, cn
  integer :: gps_time, dmode, sats, fday, fmon, fyear
  real*4 :: hc, hi, pc, pi, volt, temp, pitch, roll, alt, hdop, fhc, fpc, sec, height
  real*8 :: lat, lon
  station = 17; lineno = 1; hour = 9; minute = 5; isec = 4; msec = 250; ndig = 0
  hc = 123.4; hi = -2.5; pc = 110.0; pi = 3.1; volt = 12.5; temp = 298.3
  pitch = 1.2; roll = -0.5; aux1 = 7; aux2 = -3; cn = 2
  gps_time = 32704000; lat = 48.1173d0; lon = 11.51667d0; dmode = 1; sats = 8
  hdop = 0.9; alt = 245.4; fhc = 0.01776529; fpc = 0.021496
  fyear = 8; fmon = 12; fday = 26; height = 0.2
  sec = real(isec) + real(msec)/1000.0

  write (*, '(A)') '--- D'
  write (*, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") lineno, ndig, ' ', ' ', 1.0
  write (*, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") hour, minute, fday, fmon, fyear
  write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', station, hc, hi
  write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', station, pc, pi
  write (*, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") 2, ndig, 'A', 'B', 1.0

  write (*, '(A)') '--- L'
  write (*, "(I6, 1(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, 1X, " // &
         "I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") station, hc, hi, pc, pi, ndig, 32, lineno, &
         32, hour, minute, sec, volt, temp, real(aux1), real(aux2), cn, pitch, roll, gps_time, &
         lat, lon, alt, dmode
  write (*, "(I6, 4F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.2, 2F10.0, 1X, I4, 2F7.2, 1X, I12, " // &
         "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") station, hc, hi, pc, pi, ndig, 65, lineno, 90, &
         hour, minute, isec, volt, temp, real(aux1), real(aux2), 0, pitch, roll, gps_time, &
         lat, lon, alt, dmode

  write (*, '(A)') '--- X'
  write (*, "(I6, I6, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, " // &
         "1X, F12.6, 1X, F7.1, 1X, I2)") station, lineno, hc, hi, pc, pi, ndig, hour, minute, &
         sec, volt, temp, cn, pitch, roll, gps_time, lat, lon, alt, dmode
  write (*, "(I6, I6, 4F9.2, I2, 3I3, F7.3, F7.2, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, " // &
         "F12.6, 1X, F7.1, 1X, I2)") station, lineno, hc, hi, pc, pi, ndig, hour, minute, isec, &
         volt, temp, 0, pitch, roll, gps_time, lat, lon, alt, dmode

  write (*, '(A)') '--- G'
  write (*, "(I6, 1X, A1, I6, 1X, A1, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, " // &
         "1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") station, 'A', lineno, ' ', hc, hi, &
         pc, pi, ndig, hour, minute, sec, volt, temp, cn, pitch, roll, gps_time, lat, lon, &
         alt, dmode
  write (*, "(I6, 1X, A1, I6, 1X, A1, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, " // &
         "1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") station, 'A', lineno, ' ', hc, hi, &
         pc, pi, ndig, hour, minute, real(isec), volt, temp, 0, pitch, roll, gps_time, lat, &
         lon, alt, dmode

  write (*, '(A)') '--- S'
  write (*, "(I6, F12.2, I6)") -9, height
  write (*, "(F12.1, 1X, F12.1, 1X, F8.2, 1(2F9.2), 2F14.8, I12)") real(lineno), &
         real(station), 0.0, hc, pc, lat, lon, gps_time
  write (*, "(F12.1, 1X, F12.1, 1X, F8.2, 2(2F9.2), 2F14.8, I12)") real(lineno), 18.0, 0.0, &
         hc, pc, 45.5, -1.25, lat, lon, gps_time

  write (*, '(A)') '--- P'
  write (*, *) 2*1
  write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 1, 1, 9000.0, 1.0, 3, 0.0, 1.0, 0.0, &
         1.0, 1.0
  write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 0, 1, 9000.0, 1.1, 4, 0.0, 1.0, 0.0, &
         1.0, 1.0
  write (*, "(I6, F6.2, 2F7.2, 1(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, I3, " // &
         "F9.3)") station, height, pitch, roll, 1000.0*hi, 1000.0*hc*fhc, 1000.0*pi, &
         1000.0*pc*fpc, lat, lon, alt, dmode, gps_time, 0, 0, sats, hdop

  write (*, '(A)') '--- overflow'
  write (*, "(I6, I6, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, " // &
         "1X, F12.6, 1X, F7.1, 1X, I2)") 1234567, lineno, 1.0e6, hi, pc, pi, ndig, hour, minute, &
         sec, volt, temp, 10000, pitch, roll, gps_time, lat, lon, alt, dmode
end program station_records_oracle
