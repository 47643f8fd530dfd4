! Independent check of the golden files of t_packet_e2e_test.cpp: the station records of the
! test's two raw files, with their values computed in real*4 as the packets define them and
! written with gfortran's formatted output in the layouts of every output type.
! Run: gfortran t_packet_e2e_oracle.f90 -o oracle && ./oracle
module records
  implicit none
  type station_t
    integer :: st, line, hr, mn, sc, ms, a1, a2, cn
    real*4 :: hc, hi, pc, pi, volt, temp, ptch, roll, fhc, fpc
  end type station_t
contains
  real*4 function seconds(s)
    type(station_t), intent(in) :: s
    seconds = real(s%sc) + real(s%ms)/1000.0
  end function seconds

  subroutine x_rec(s)
    type(station_t), intent(in) :: s
    write (*, "(I6, I6, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, " // &
           "1X, F12.6, 1X, F7.1, 1X, I2)") s%st, s%line, s%hc, s%hi, s%pc, s%pi, 0, s%hr, s%mn, &
           seconds(s), s%volt, s%temp, s%cn, s%ptch, s%roll, 0, 0d0, 0d0, 0.0, 0
  end subroutine x_rec

  subroutine g_rec(s)
    type(station_t), intent(in) :: s
    write (*, "(I6, 1X, A1, I6, 1X, A1, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, " // &
           "2F8.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") s%st, ' ', s%line, ' ', s%hc, &
           s%hi, s%pc, s%pi, 0, s%hr, s%mn, seconds(s), s%volt, s%temp, s%cn, s%ptch, s%roll, &
           0, 0d0, 0d0, 0.0, 0
  end subroutine g_rec

  subroutine d_line(s, day, month, year)
    type(station_t), intent(in) :: s
    integer, intent(in) :: day, month, year
    write (*, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") s%line, 0, ' ', ' ', 1.0
    write (*, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") s%hr, s%mn, day, month, year
  end subroutine d_line

  subroutine d_recs(s)
    type(station_t), intent(in) :: s
    write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', s%st, s%hc, s%hi
    write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', s%st, s%pc, s%pi
  end subroutine d_recs

  subroutine l_rec(s)
    type(station_t), intent(in) :: s
    write (*, "(I6, 1(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, " // &
           "1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") s%st, s%hc, s%hi, s%pc, s%pi, 0, 32, &
           s%line, 32, s%hr, s%mn, seconds(s), s%volt, s%temp, real(s%a1), real(s%a2), s%cn, &
           s%ptch, s%roll, 0, 0d0, 0d0, 0.0, 0
  end subroutine l_rec

  subroutine s_rec(s)
    type(station_t), intent(in) :: s
    write (*, "(F12.1, 1X, F12.1, 1X, F8.2, 1(2F9.2), 2F14.8, I12)") dble(s%line), dble(s%st), &
           0.0, s%hc, s%pc, 0d0, 0d0, 0
  end subroutine s_rec

  subroutine p_rec(s)
    type(station_t), intent(in) :: s
    write (*, "(I6, F6.2, 2F7.2, 1(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, " // &
           "I3, F9.3)") s%st, 0.2, s%ptch, s%roll, 1000.0*s%hi, 1000.0*s%hc*s%fhc, 1000.0*s%pi, &
           1000.0*s%pc*s%fpc, 0d0, 0d0, 0.0, 0, 0, 0, 0, 0, 0.0
  end subroutine p_rec

  subroutine all_recs(tag, s, n)
    character(*), intent(in) :: tag
    integer, intent(in) :: n
    type(station_t), intent(in) :: s(n)
    integer :: k
    write (*, '(A)') '--- X '//tag
    do k = 1, n
      call x_rec(s(k))
    end do
    write (*, '(A)') '--- G '//tag
    do k = 1, n
      call g_rec(s(k))
    end do
    write (*, '(A)') '--- D '//tag
    do k = 1, n
      call d_recs(s(k))
    end do
    write (*, '(A)') '--- L '//tag
    do k = 1, n
      call l_rec(s(k))
    end do
    write (*, '(A)') '--- S '//tag
    do k = 1, n
      call s_rec(s(k))
    end do
    write (*, '(A)') '--- P '//tag
    do k = 1, n
      call p_rec(s(k))
    end do
  end subroutine all_recs
end module records

program t_packet_e2e_oracle
  use records
  implicit none
  type(station_t) :: a(5), b(5), c(2)
  real*4 :: f1, f11, pi_s
  real*8 :: cf, pi_d

  ! The 1 m array of the length code 1 (the answer at the prompt, or the header lines).
  pi_s = 3.1415927
  pi_d = pi_s
  cf = pi_d*2.0*9000.0*4.0e-7*pi_d
  f1 = cf*1.0*1.0*0.25*1000.0/1000.0
  f11 = cf*dble(1.1)*dble(1.1)*0.25*1000.0/1000.0

  ! Raw file without header lines: line 0, CN -1 at the first record, no factors before the
  ! prompt, so the first CONV packet has conductivities raw / 10 and ppm quadratures of 0.
  a(1) = station_t(17, 0, 9, 5, 4, 250, 7, -3, -1, 1234/10., -250/100., 1100/10., 310/100., &
                   12500/1000., 29830/100., 345 - 300, -120/10., 0.0, 0.0)
  a(2) = station_t(18, 0, 9, 5, 5, 250, 8, -4, 0, (500/100.)/f1, -250/100., (400/100.)/f11, &
                   310/100., 12600/1000., 29930/100., 123/10., -45/10., f1, f11)
  a(3) = a(2)
  a(4) = station_t(19, 0, 9, 5, 6, 250, 9, -5, 0, (600/100.)/f1, 100/100., (300/100.)/f11, &
                   -50/100., a(2)%volt, a(2)%temp, -45/10., 120/10., f1, f11)
  a(5) = a(4)
  a(5)%st = 20; a(5)%sc = 7; a(5)%a1 = 1; a(5)%a2 = 2
  write (*, '(A)') '--- D defaults'
  call d_line(a(1), 0, 0, 0)
  call all_recs('defaults', a, 5)
  write (*, '(A)') '--- S header'
  write (*, "(I6, F12.2, I6)") -9, 0.2

  ! Two logger files, length code 1 from the header lines: line 1, factors known from the start.
  ! Comment lines set the time with MSEC 0 and CN 1.
  b(1) = station_t(17, 1, 9, 5, 4, 250, 7, -3, 1, 1234/10., -250/100., 1100/10., 310/100., &
                   12500/1000., 29830/100., 345 - 300, -120/10., f1, f11)
  b(2) = station_t(18, 1, 9, 5, 5, 250, 8, -4, 0, (500/100.)/f1, -250/100., (400/100.)/f11, &
                   310/100., 12600/1000., 29930/100., 123/10., -45/10., f1, f11)
  b(3) = b(2)
  b(3)%sc = 5; b(3)%ms = 0; b(3)%cn = 1
  b(4) = station_t(19, 1, 9, 5, 6, 0, 9, -5, 0, (600/100.)/f1, 100/100., (300/100.)/f11, &
                   -50/100., b(2)%volt, b(2)%temp, -45/10., 120/10., f1, f11)
  b(5) = b(4)
  b(5)%st = 20; b(5)%sc = 7; b(5)%a1 = 1; b(5)%a2 = 2
  c(1) = station_t(1, 1, 9, 10, 2, 500, 0, 0, 1, (250/100.)/f1, 125/100., (200/100.)/f11, &
                   -75/100., 12400/1000., 29700/100., -345 + 300, 320/10., f1, f11)
  c(2) = station_t(2, 1, 9, 10, 3, 500, 5, 6, 0, 567/10., 33/100., 890/10., -12/100., &
                   c(1)%volt, c(1)%temp, c(1)%ptch, c(1)%roll, f1, f11)
  write (*, '(A)') '--- D SURVEY01'
  call d_line(b(1), 26, 12, 8)
  call all_recs('SURVEY01', b, 5)
  write (*, '(A)') '--- D SURVEY02'
  call d_line(c(1), 26, 12, 8)
  call all_recs('SURVEY02', c, 2)

  write (*, '(A)') '--- SDF'
  write (*, *) 2
  write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 1, 1, 9000.0, 1.0, 3, 0.0, 1.0, 0.0, &
         1.0, 1.0
  write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 0, 1, 9000.0, 1.1, 4, 0.0, 1.0, 0.0, &
         1.0, 1.0
end program t_packet_e2e_oracle
