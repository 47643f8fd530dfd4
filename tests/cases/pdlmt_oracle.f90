! Independent derivation of the expected files of the $PDLMT, O$, R$, A$ and S$ cases under
! tests/cases/ (the folders pdlmt_*, raw_copies, aux_and_status and offsets_t_not_pdlmt). The
! values are computed in real*4 from the packet fields as the packets define them, and written
! with gfortran's formatted output in the record layouts of each output type. Each expected file
! is written to oracle/<case>/<file>:
!   gfortran pdlmt_oracle.f90 -o oracle_prog && ./oracle_prog
module recs
  implicit none
  type st_t
    integer :: st = 0, line = 0, hr = 0, mn = 0, sc = 0, ms = 0, a1 = 0, a2 = 0, cn = 0
    real*4 :: hc = 0, hi = 0, pc = 0, pi = 0, volt = 0, temp = 0, ptch = 0, roll = 0
  end type st_t
  real*8, parameter :: pid = 3.1415927410125732d0
contains
  real*4 function factor(s)
    real*4, intent(in) :: s
    real*8 :: c
    c = pid * 2.0d0 * 9000.0d0 * dble(4.0e-7) * pid
    factor = real(c * dble(s) * dble(s) * 0.25d0 * 1000.0d0 / 1000.0d0)
  end function factor

  ! One good $PDLMT packet: the ppm conversion without offsets.
  subroutine pdlmt(s, hr, mn, sc, hi, hq, pi, pq, a2, a1, volt, temp, ptch, roll, shc, spc)
    type(st_t), intent(inout) :: s
    integer, intent(in) :: hr, mn, sc, hi, hq, pi, pq, a2, a1, volt, temp, ptch, roll
    real*4, intent(in) :: shc, spc
    s%st = s%st + 1
    s%hr = hr; s%mn = mn; s%sc = sc; s%a1 = a1; s%a2 = a2
    s%ptch = real(ptch) / 100.0; s%roll = real(roll) / 100.0
    s%volt = real(volt) / 1000.0; s%temp = real(temp) / 100.0
    s%hc = (real(hq) / 1000.0) / factor(shc)
    s%hi = real(hi) / 1000.0
    s%pc = (real(pq) / 1000.0) / factor(spc)
    s%pi = real(pi) / 1000.0
  end subroutine pdlmt

  subroutine log_p(u, s)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    write (u, "(I6, 4F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.2, 2F10.0, 1X, I4, 2F7.2, 1X, I12, " // &
           "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") s%st, s%hc, s%hi, s%pc, s%pi, 0, 32, s%line, 32, &
           s%hr, s%mn, s%sc, s%volt, s%temp, real(s%a1), real(s%a2), s%cn, s%ptch, s%roll, 0, &
           0d0, 0d0, 0.0, 0
  end subroutine log_p

  subroutine log_t(u, s)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    write (u, "(I6, 1(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, " // &
           "1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") s%st, s%hc, s%hi, s%pc, s%pi, 0, 32, &
           s%line, 32, s%hr, s%mn, real(s%sc) + real(s%ms) / 1000.0, s%volt, s%temp, real(s%a1), &
           real(s%a2), s%cn, s%ptch, s%roll, 0, 0d0, 0d0, 0.0, 0
  end subroutine log_t

  subroutine xyz_p(u, s)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    write (u, "(I6, I6, 4F9.2, I2, 3I3, F7.3, F7.2, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, " // &
           "F12.6, 1X, F7.1, 1X, I2)") s%st, s%line, s%hc, s%hi, s%pc, s%pi, 0, s%hr, s%mn, &
           s%sc, s%volt, s%temp, s%cn, s%ptch, s%roll, 0, 0d0, 0d0, 0.0, 0
  end subroutine xyz_p

  subroutine xyz_t(u, s)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    write (u, "(I6, I6, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, " // &
           "1X, F12.6, 1X, F7.1, 1X, I2)") s%st, s%line, s%hc, s%hi, s%pc, s%pi, 0, s%hr, s%mn, &
           real(s%sc) + real(s%ms) / 1000.0, s%volt, s%temp, s%cn, s%ptch, s%roll, 0, 0d0, &
           0d0, 0.0, 0
  end subroutine xyz_t

  subroutine geo_p(u, s)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    write (u, "(I6, 1X, A1, I6, 1X, A1, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, " // &
           "2F8.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") s%st, ' ', s%line, ' ', s%hc, &
           s%hi, s%pc, s%pi, 0, s%hr, s%mn, real(s%sc), s%volt, s%temp, s%cn, s%ptch, s%roll, &
           0, 0d0, 0d0, 0.0, 0
  end subroutine geo_p

  subroutine dat31(u, s, first)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    logical, intent(in) :: first
    if (first) then
      write (u, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") s%line, 0, ' ', ' ', 1.0
      write (u, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") s%hr, s%mn, 0, 0, 0
    end if
    write (u, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', s%st, s%hc, s%hi
    write (u, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', s%st, s%pc, s%pi
  end subroutine dat31

  subroutine santos(u, s)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    write (u, "(F12.1, 1X, F12.1, 1X, F8.2, 1(2F9.2), 2F14.8, I12)") dble(s%line), &
           dble(s%st), 0.0, s%hc, s%pc, 0d0, 0d0, 0
  end subroutine santos

  subroutine ppm(u, s, fhc, fpc)
    integer, intent(in) :: u
    type(st_t), intent(in) :: s
    real*4, intent(in) :: fhc, fpc
    write (u, "(I6, F6.2, 2F7.2, 1(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, " // &
           "I3, F9.3)") s%st, 0.2, s%ptch, s%roll, 1000.0*s%hi, 1000.0*s%hc*fhc, 1000.0*s%pi, &
           1000.0*s%pc*fpc, 0d0, 0d0, 0.0, 0, 0, 0, 0, 0, 0.0
  end subroutine ppm

  ! An auxiliary-sensor record of the XYX side file: the Geosoft columns of a T$ station, then
  ! the seven A$ values scaled.
  subroutine aux(u, s, a, b, c)
    integer, intent(in) :: u, a(3), b(3), c
    type(st_t), intent(in) :: s
    write (u, "(I6, 1X, A1, I6, 1X, A1, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, " // &
           "1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, 3F9.5, 3F9.0, F7.2)") s%st, ' ', &
           s%line, ' ', s%hc, s%hi, s%pc, s%pi, 0, s%hr, s%mn, real(s%sc) + real(s%ms) / 1000.0, &
           s%volt, s%temp, s%cn, s%ptch, s%roll, 0, 0d0, 0d0, 0.0, 0, real(a) / 10000.0, &
           real(b) / 10000.0 * 100000.0, real(c) / 100.0
  end subroutine aux

  subroutine raw7(u, n, hr, mn, sc, ms, v)
    integer, intent(in) :: u, n, hr, mn, sc, ms, v(7)
    write (u, "(1X, I9, 3I3, '.', I3, 7I10)") n, hr, mn, sc, ms, v
  end subroutine raw7

  subroutine raw14(u, n, hr, mn, sc, ms, v, w)
    integer, intent(in) :: u, n, hr, mn, sc, ms, v(7), w(7)
    write (u, "(1X, I9, 3I3, '.', I3, 14I10)") n, hr, mn, sc, ms, v, w
  end subroutine raw14

  subroutine out(u, path)
    integer, intent(in) :: u
    character(*), intent(in) :: path
    call execute_command_line('mkdir -p "$(dirname oracle/' // path // ')"')
    open (u, file='oracle/' // path, status='replace')
  end subroutine out
end module recs

program oracle
  use recs
  implicit none
  type(st_t) :: s, p1, p2, p3, t
  integer :: k
  character(19) :: fname
  real*4 :: s2h = 2.0, s2p = 2.1, s1h = 1.0, s1p = 1.1, s4h = 4.0, s4p = 4.1

  ! ---- pdlmt_log_and_xyz: code LX, length code 2; packets 1, 2, a 102-column line, then a
  ! 101-column packet. The L run makes stations 1-3, the X run 4-6.
  s = st_t()
  call pdlmt(s, 10, 15, 0, 1234, 25000, -567, 30000, 11, 22, 12500, 29815, -1250, 300, s2h, s2p)
  p1 = s
  call pdlmt(s, 10, 15, 1, 1300, 26000, -500, 31000, 12, 23, 12400, 29915, 250, -75, s2h, s2p)
  p2 = s
  call pdlmt(s, 10, 15, 3, 1400, 27000, -450, 32000, 13, 24, 12300, 30015, 0, 100, s2h, s2p)
  p3 = s
  call out(1, 'pdlmt_log_and_xyz/line7.LOG')
  ! First record: CN as at program start (-1); the first-packet step set volts and kelvin to 0.
  t = p1; t%cn = -1; t%volt = 0; t%temp = 0
  call log_p(1, t)
  call log_p(1, p2)
  call log_p(1, p2)   ! the 102-column line: written again, station not advanced
  call log_p(1, p3)
  close (1)
  call out(1, 'pdlmt_log_and_xyz/Default.xyz')
  do k = 1, 2
    t = p1; if (k == 2) t = p2
    t%st = t%st + 3
    call xyz_p(1, t)
  end do
  t = p2; t%st = 5; call xyz_p(1, t)
  t = p3; t%st = 6; call xyz_p(1, t)
  close (1)

  ! ---- pdlmt_other_codes: executions D, G, S, P, I, R, length code 1; packets 1 and 2.
  s = st_t()
  call pdlmt(s, 10, 15, 0, 1234, 25000, -567, 30000, 11, 22, 12500, 29815, -1250, 300, s1h, s1p)
  p1 = s; p1%cn = -1; p1%volt = 0; p1%temp = 0
  call pdlmt(s, 10, 15, 1, 1300, 26000, -500, 31000, 12, 23, 12400, 29915, 250, -75, s1h, s1p)
  p2 = s
  call out(1, 'pdlmt_other_codes/line7.G31')
  call dat31(1, p1, .true.); call dat31(1, p2, .false.)
  close (1)
  call out(1, 'pdlmt_other_codes/line7.XYZ')
  call geo_p(1, p1); call geo_p(1, p2)
  close (1)
  call out(1, 'pdlmt_other_codes/line7.SAN')
  write (1, "(I6, F12.2)") -9, 0.2
  call santos(1, p1); call santos(1, p2)
  close (1)
  call out(1, 'pdlmt_other_codes/line7.IDF')
  call ppm(1, p1, factor(s1h), factor(s1p)); call ppm(1, p2, factor(s1h), factor(s1p))
  close (1)
  call out(1, 'pdlmt_other_codes/Default.SDF')
  write (1, *) 2
  write (1, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 1, 1, 9000.0, s1h, 3, 0.0, 1.0, 0.0, 1.0, 1.0
  write (1, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 0, 1, 9000.0, s1p, 4, 0.0, 1.0, 0.0, 1.0, 1.0
  close (1)

  ! ---- pdlmt_renamed_paths: packet 1 alone, length code 4, codes L, L and X.
  s = st_t()
  call pdlmt(s, 10, 15, 0, 1234, 25000, -567, 30000, 11, 22, 12500, 29815, -1250, 300, s4h, s4p)
  s%cn = -1; s%volt = 0; s%temp = 0
  call out(1, 'pdlmt_renamed_paths/data/line7.LOG'); call log_p(1, s); close (1)
  call out(1, 'pdlmt_renamed_paths/a_very_long_survey_name_2024.LOG'); call log_p(1, s); close (1)
  call out(1, 'pdlmt_renamed_paths/LIXYZ'); call xyz_p(1, s); close (1)

  ! ---- pdlmt_attitude_first_line_wrong: an S$ line (pitch 950, roll -300 in hundredths), a
  ! $PDLMT line of the wrong length, then packet 1; length code 1 (the default).
  s = st_t()
  s%cn = -1
  s%hr = 10; s%mn = 14; s%sc = 59     ! the time of the S$ line
  s%ptch = 950.0; s%roll = -300.0     ! no good packet yet: the raw values, unscaled
  s%hc = 0.0 / 1000.0 / factor(s1h); s%pc = 0.0 / 1000.0 / factor(s1p)
  call out(1, 'pdlmt_attitude_first_line_wrong/line7.XYZ')
  call xyz_p(1, s)
  s%cn = 0
  call pdlmt(s, 10, 15, 0, 1234, 25000, -567, 30000, 11, 22, 12500, 29815, -1250, 300, s1h, s1p)
  call xyz_p(1, s)
  close (1)

  ! ---- pdlmt_after_header: a file header line (code 2) then packets 1 and 2, code G.
  s = st_t()
  s%line = 1
  call pdlmt(s, 10, 15, 0, 1234, 25000, -567, 30000, 11, 22, 12500, 29815, -1250, 300, s2h, s2p)
  p1 = s
  call pdlmt(s, 10, 15, 1, 1300, 26000, -500, 31000, 12, 23, 12400, 29915, 250, -75, s2h, s2p)
  call out(1, 'pdlmt_after_header/LINE0001.xyz')
  fname = 'LINE0001.xyz'   ! FILE_NAME holds 19 characters
  write (1, "('\Veltor Filename is ', A19)") fname
  write (1, "('\Veltor Sensor Length Code is ', I2)") 2
  write (1, '(A)') '\..STN.SP.LINE.LP.HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt..N.HH.MM.SS.V.......' // &
                   'T-K.....CN..Ptch...Roll......GPS_TIME..Lat..........Lon.........GPS_Alt.DMode'
  call geo_p(1, p1); call geo_p(1, s)
  close (1)

  ! ---- offsets_t_not_pdlmt: O$ 1000 2000 3000 4000 (ppm) on array 1, a T$ "NULD" packet
  ! (length code 1 at the prompt), then $PDLMT packet 1. Code L.
  s = st_t()
  s%st = 17; s%hr = 9; s%mn = 5; s%sc = 4; s%ms = 250; s%a1 = 7; s%a2 = -3; s%cn = -1
  s%volt = 12500 / 1000.0; s%temp = 29815 / 100.0; s%ptch = 45.0; s%roll = -12.0
  s%hc = (1234 / 100.0 - 3.0) / factor(s1h)
  s%hi = -250 / 100.0 - 1.0
  s%pc = (1100 / 100.0 - 4.0) / factor(s1p)
  s%pi = 310 / 100.0 - 2.0
  call out(1, 'offsets_t_not_pdlmt/Default.LOG')
  call log_t(1, s)
  s%cn = 0
  call pdlmt(s, 10, 15, 0, 1234, 25000, -567, 30000, 11, 22, 12500, 29815, -1250, 300, s1h, s1p)
  call log_p(1, s)
  close (1)

  ! ---- raw_copies: pairs/ (two lines under 09:05:04.005, two under 09:05:05.250, then an
  ! unreadable line under that time stamp and one under 09:05:06.000) and
  ! singles/ (one line per time stamp, an unreadable line repeating the stored values).
  call out(1, 'raw_copies/pairs/Default.RAW')
  call raw7(1, 1, 9, 5, 4, 5, [1, 2, 3, 4, 5, 6, 7])
  call raw14(1, 1, 9, 5, 4, 5, [1, 2, 3, 4, 5, 6, 7], [11, 12, 13, 14, 15, 16, 17])
  call raw14(1, 2, 9, 5, 5, 250, [21, 22, 23, 24, 25, 26, 27], [31, 32, 33, 34, 35, 36, 37])
  ! Unreadable lines, under the same time stamp and under the next one: the stored pair again.
  call raw14(1, 2, 9, 5, 5, 250, [21, 22, 23, 24, 25, 26, 27], [31, 32, 33, 34, 35, 36, 37])
  call raw14(1, 2, 9, 5, 6, 0, [21, 22, 23, 24, 25, 26, 27], [31, 32, 33, 34, 35, 36, 37])
  close (1)
  call out(1, 'raw_copies/singles/Default.RAW')
  call raw7(1, 1, 9, 5, 4, 5, [1, 2, 3, 4, 5, 6, 7])
  call raw7(1, 2, 9, 5, 5, 250, [-1, -22, -333, -4444, -55555, -666666, -7777777])
  call raw7(1, 2, 9, 5, 5, 250, [-1, -22, -333, -4444, -55555, -666666, -7777777])
  call raw7(1, 3, 9, 5, 6, 0, [21, 22, 23, 24, 25, 26, 27])
  close (1)

  ! ---- aux_and_status: code X. A T$ "CONV" packet (factors still 0: conductivities are the
  ! fields / 10), then A$ lines after S$ lines of both layouts, then a 58-column T$ packet.
  s = st_t()
  s%st = 17; s%hr = 9; s%mn = 5; s%sc = 4; s%ms = 250; s%cn = -1
  s%volt = 12500 / 1000.0; s%temp = 29815 / 100.0; s%ptch = 45.0; s%roll = -12.0
  s%hc = 1234 / 10.0; s%hi = -250 / 100.0; s%pc = 1100 / 10.0; s%pi = 310 / 100.0
  call out(1, 'aux_and_status/Default.xyz')
  call out(2, 'aux_and_status/Default.xyx')
  call xyz_t(1, s)
  s%cn = 0
  call aux(2, s, [12345, -10, 0], [123, -2500, 7], 2512)
  s%sc = 10; s%volt = 12.5; s%temp = 298.1                 ! S$ 21 columns: 12500, 2981
  call aux(2, s, [1, 2, 3], [4, 5, 6], 7)
  s%sc = 11; s%volt = 9.999; s%temp = 1234.5 / 10.0        ! S$ 21 columns: 9999, 12345
  call aux(2, s, [1, 2, 3], [4, 5, 6], 7)
  s%sc = 12; s%volt = 12345 / 1000.0; s%temp = 99999 / 100.0 ! S$ 34 columns
  s%ptch = 950 / 100.0; s%roll = -300 / 100.0
  call aux(2, s, [1, 2, 3], [4, 5, 6], 7)
  close (2)
  ! 58 columns: station, time, channels; volts, kelvin and attitude stay.
  s%st = 18; s%sc = 14
  s%hc = 500 / 10.0; s%hi = -250 / 100.0; s%pc = 400 / 10.0; s%pi = 310 / 100.0
  call xyz_t(1, s)
  close (1)
end program oracle
