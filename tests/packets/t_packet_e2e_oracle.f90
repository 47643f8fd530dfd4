! Independent check of the golden files of t_packet_e2e_test.cpp: the five station records of the
! test's raw file, with their values computed in real*4 as the packets define them and written with
! gfortran's formatted output in the layouts of every output type.
! Run: gfortran t_packet_e2e_oracle.f90 -o oracle && ./oracle
program t_packet_e2e_oracle
  implicit none
  integer, parameter :: ns = 5
  integer :: st(ns), hr(ns), mn(ns), sc(ns), ms(ns), a1(ns), a2(ns), cn(ns), k
  real*4 :: hc(ns), hi(ns), pc(ns), pi(ns), volt(ns), temp(ns), ptch(ns), roll(ns), sec
  real*4 :: fhc(ns), fpc(ns), f1, f11, pi_s
  real*8 :: c, pi_d

  ! The 1 m array that the answer 1 at the length-code prompt selects.
  pi_s = 3.1415927
  pi_d = pi_s
  c = pi_d*2.0*9000.0*4.0e-7*pi_d
  f1 = c*1.0*1.0*0.25*1000.0/1000.0
  f11 = c*dble(1.1)*dble(1.1)*0.25*1000.0/1000.0

  ! 1: 83 columns, CONV, no factors yet: conductivities are the raw values / 10.
  st(1) = 17; hr(1) = 9; mn(1) = 5; sc(1) = 4; ms(1) = 250; a1(1) = 7; a2(1) = -3; cn(1) = -1
  hc(1) = 1234/10.; hi(1) = -250/100.; pc(1) = 1100/10.; pi(1) = 310/100.
  volt(1) = 12500/1000.; temp(1) = 29830/100.; ptch(1) = 345 - 300; roll(1) = -120/10.
  fhc(1) = 0.0; fpc(1) = 0.0
  ! 2: 79 columns, NULD, answer 1: quadratures in 1/100 ppt over the 1 m factors; MSEC kept.
  st(2) = 18; hr(2) = 9; mn(2) = 5; sc(2) = 5; ms(2) = 250; a1(2) = 8; a2(2) = -4; cn(2) = 0
  hc(2) = (500/100.)/f1; hi(2) = -250/100.; pc(2) = (400/100.)/f11; pi(2) = 310/100.
  volt(2) = 12600/1000.; temp(2) = 29930/100.; ptch(2) = 123/10.; roll(2) = -45/10.
  fhc(2) = f1; fpc(2) = f11
  ! 3: a 70-column line: the previous station again.
  st(3) = st(2); hr(3) = hr(2); mn(3) = mn(2); sc(3) = sc(2); ms(3) = ms(2); a1(3) = a1(2)
  a2(3) = a2(2); cn(3) = 0; hc(3) = hc(2); hi(3) = hi(2); pc(3) = pc(2); pi(3) = pi(2)
  volt(3) = volt(2); temp(3) = temp(2); ptch(3) = ptch(2); roll(3) = roll(2)
  fhc(3) = f1; fpc(3) = f11
  ! 4: 65 columns, RAW: housekeeping kept from station 2.
  st(4) = 19; hr(4) = 9; mn(4) = 5; sc(4) = 6; ms(4) = 250; a1(4) = 9; a2(4) = -5; cn(4) = 0
  hc(4) = (600/100.)/f1; hi(4) = 100/100.; pc(4) = (300/100.)/f11; pi(4) = -50/100.
  volt(4) = volt(2); temp(4) = temp(2); ptch(4) = -45/10.; roll(4) = 120/10.
  fhc(4) = f1; fpc(4) = f11
  ! 5: 58 columns, unknown tag ABCD: channels and angles kept.
  st(5) = 20; hr(5) = 9; mn(5) = 5; sc(5) = 7; ms(5) = 250; a1(5) = 1; a2(5) = 2; cn(5) = 0
  hc(5) = hc(4); hi(5) = hi(4); pc(5) = pc(4); pi(5) = pi(4)
  volt(5) = volt(4); temp(5) = temp(4); ptch(5) = ptch(4); roll(5) = roll(4)
  fhc(5) = f1; fpc(5) = f11

  write (*, '(A)') '--- X'
  do k = 1, ns
    sec = real(sc(k)) + real(ms(k))/1000.0
    write (*, "(I6, I6, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, " // &
           "1X, F12.6, 1X, F7.1, 1X, I2)") st(k), 0, hc(k), hi(k), pc(k), pi(k), 0, hr(k), &
           mn(k), sec, volt(k), temp(k), cn(k), ptch(k), roll(k), 0, 0d0, 0d0, 0.0, 0
  end do
  write (*, '(A)') '--- G'
  do k = 1, ns
    sec = real(sc(k)) + real(ms(k))/1000.0
    write (*, "(I6, 1X, A1, I6, 1X, A1, 1(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, " // &
           "2F8.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") st(k), ' ', 0, ' ', hc(k), &
           hi(k), pc(k), pi(k), 0, hr(k), mn(k), sec, volt(k), temp(k), cn(k), ptch(k), &
           roll(k), 0, 0d0, 0d0, 0.0, 0
  end do
  write (*, '(A)') '--- D'
  write (*, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") 0, 0, ' ', ' ', 1.0
  write (*, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") hr(1), mn(1), 0, 0, 0
  do k = 1, ns
    write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', st(k), hc(k), hi(k)
    write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', st(k), pc(k), pi(k)
  end do
  write (*, '(A)') '--- L'
  do k = 1, ns
    sec = real(sc(k)) + real(ms(k))/1000.0
    write (*, "(I6, 1(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, " // &
           "1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)") st(k), hc(k), hi(k), pc(k), pi(k), &
           0, 32, 0, 32, hr(k), mn(k), sec, volt(k), temp(k), real(a1(k)), real(a2(k)), &
           cn(k), ptch(k), roll(k), 0, 0d0, 0d0, 0.0, 0
  end do
  write (*, '(A)') '--- S'
  write (*, "(I6, F12.2, I6)") -9, 0.2
  do k = 1, ns
    write (*, "(F12.1, 1X, F12.1, 1X, F8.2, 1(2F9.2), 2F14.8, I12)") 0d0, dble(st(k)), 0.0, &
           hc(k), pc(k), 0d0, 0d0, 0
  end do
  write (*, '(A)') '--- P'
  do k = 1, ns
    write (*, "(I6, F6.2, 2F7.2, 1(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, " // &
           "I3, F9.3)") st(k), 0.2, ptch(k), roll(k), 1000.0*hi(k), 1000.0*hc(k)*fhc(k), &
           1000.0*pi(k), 1000.0*pc(k)*fpc(k), 0d0, 0d0, 0.0, 0, 0, 0, 0, 0, 0.0
  end do
  write (*, '(A)') '--- SDF'
  write (*, *) 2
  write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 1, 1, 9000.0, 1.0, 3, 0.0, 1.0, 0.0, &
         1.0, 1.0
  write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 0, 1, 9000.0, 1.1, 4, 0.0, 1.0, 0.0, &
         1.0, 1.0
end program t_packet_e2e_oracle
