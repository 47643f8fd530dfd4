! Independent check of the expected files of the N$ cases (tests/cases/n_packets_*): reads the
! raw file with the N$ layout, computes every value in real*4 as the packet defines it, and writes
! the main output file of one output type with gfortran's formatted output in that type's layouts.
! Run: gfortran n_packet_e2e_oracle.f90 -o oracle
!      ./oracle RAWFILE ARRAYS LENGTH_CODE NAME TYPE > expected   (TYPE one of X G D L S P;
!      F gives the sensor-definition file of the P run, C the comment file)
program n_packet_e2e_oracle
  implicit none
  character(len=120) :: line, arg
  character(len=8) :: name
  character(len=1) :: otype
  character(len=200) :: fmt
  character(len=120) :: labels
  character(len=19) :: file_name
  integer :: n, code, ios, k, cn, hr, mn, sc, vr, tr, pr, rr, lineno
  integer :: raw(4, 3)
  real*4 :: hc(3), hi(3), pc(3), pi(3), volt, temp, ptch, roll, fhc(3), fpc(3), shc(3), spc(3)
  real*8 :: cf, pi_d
  logical :: first

  call get_command_argument(1, arg)
  open (1, file=trim(arg), status='old')
  call get_command_argument(2, arg); read (arg, *) n
  call get_command_argument(3, arg); read (arg, *) code
  call get_command_argument(4, name)
  call get_command_argument(5, otype)

  select case (code)
  case (1)
    shc(1:1) = [1.0]; spc(1:1) = [1.1]; labels = 'HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.'
  case (21)
    shc(1:2) = [1.0, 2.0]; spc(1:2) = [1.1, 2.1]
    labels = 'HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt.'
  case (620)
    shc(1:2) = [2.0, 6.0]; spc(1:2) = [2.1, 6.1]
    labels = 'HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt.HC6-mS/m.HI6-ppt.PC6-mS/m..PI6-ppt.'
  end select
  pi_d = 3.1415927
  cf = pi_d*2.0*9000.0*4.0e-7*pi_d
  do k = 1, n
    fhc(k) = cf*dble(shc(k))*dble(shc(k))*0.25*1000.0/1000.0
    fpc(k) = cf*dble(spc(k))*dble(spc(k))*0.25*1000.0/1000.0
  end do

  if (otype == 'F') then
    write (*, *) 2*n
    do k = 1, n
      write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 1, 1, 9000.0, shc(k), 3, 0.0, 1.0, &
        0.0, 1.0, 1.0
      write (*, "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)") 0, 1, 9000.0, spc(k), 4, 0.0, 1.0, &
        0.0, 1.0, 1.0
    end do
    stop
  end if
  if (otype == 'C') then
    write (*, "(I5, 1X, A16)") 1, 'CHECK POINT A   '
    stop
  end if
  raw = 0
  cn = 0
  lineno = 1
  first = .true.
  do
    read (1, '(A)', iostat=ios) line
    if (ios /= 0) exit
    if (line(2:3) == 'Z$') exit
    if (line(2:3) == 'H$') then
      if (otype == 'D') write (*, "('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ')") name
      if (otype == 'G') then
        file_name = trim(name)//'.xyz'
        write (*, "('\Veltor Filename is ', A19)") file_name
        write (*, "('\Veltor Sensor Length Code is ', I2)") code
        write (*, '(A)') '\..STN.SP.LINE.LP.'//trim(labels)// &
          '.N.HH.MM.SS.V.......T-K.....CN..Ptch...Roll'// &
          '......GPS_TIME..Lat..........Lon.........GPS_Alt.DMode'
      end if
    end if
    if (line(2:3) == 'C$') then
      cn = 1
      read (line, '(3X, 3I2)') hr, mn, sc
      if (otype == 'G') write (*, "('\', A16, ' at: ', 3I3)") 'CHECK POINT A   ', hr, mn, sc
    end if
    if (line(2:3) /= 'N$') cycle
    if (n > 1 .and. len_trim(line) < 34 + 24*n) cycle
    read (line, '(3X, 3I2, 1X, I5, 1X, I5, 1X, 2I6, 12I6)', iostat=ios) hr, mn, sc, vr, tr, pr, &
      rr, raw(:, 1:n)
    if (ios /= 0) cycle
    do k = 1, 3
      pc(k) = raw(3, k)/10.0; hc(k) = raw(1, k)/10.0
      pi(k) = raw(4, k)/100.0; hi(k) = raw(2, k)/100.0
    end do
    volt = vr/1000.0; temp = tr/100.0; ptch = pr/100.0; roll = rr/100.0
    if (code == 620) then
      pc(2) = pc(2)*0.45176026
      hc(2) = hc(2)*0.44444445
    end if
    select case (otype)
    case ('D')
      if (first) then
        write (*, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") lineno, 0, ' ', ' ', 1.0
        write (*, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") hr, mn, 15, 3, 26
      end if
      write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', 0, hc(1), hi(1)
      write (*, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', 0, pc(1), pi(1)
    case ('L')
      write (fmt, '(A, I0, A)') '(I6, ', 4*n, 'F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.1, 1X, I4, ' // &
        '2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)'
      write (*, fmt) 0, (hc(k), hi(k), pc(k), pi(k), k=1, n), 0, 32, lineno, 32, hr, mn, sc, &
        volt, temp, cn, ptch, roll, 0, 0d0, 0d0, 0.0, 0
    case ('X')
      write (fmt, '(A, I0, A)') '(I6, I6, ', 4*n, 'F9.2, I2, 1X, 3I3, F7.3, F7.1, 1X, I4, ' // &
        '2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)'
      write (*, fmt) 0, lineno, (hc(k), hi(k), pc(k), pi(k), k=1, n), 0, hr, mn, sc, volt, temp, &
        cn, ptch, roll, 0, 0d0, 0d0, 0.0, 0
    case ('G')
      write (fmt, '(A, I0, A)') '(I6, 1X, A1, I6, 1X, A1, ', 4*n, 'F9.2, I2, 1X, 3I3, F9.3, ' // &
        'F8.2, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)'
      write (*, fmt) 0, ' ', lineno, ' ', (hc(k), hi(k), pc(k), pi(k), k=1, n), 0, hr, mn, sc, &
        volt, temp, cn, ptch, roll, 0, 0d0, 0d0, 0.0, 0
    case ('S')
      if (first) write (*, "(I6, F12.2, I6)") -9, 0.2
      write (fmt, '(A, I0, A)') '(F12.1, 1X, F12.1, 1X, F8.2, ', 2*n, 'F9.2, 2F14.8, I12)'
      write (*, fmt) dble(lineno), 0d0, 0.0, (hc(k), pc(k), k=1, n), 0d0, 0d0, 0
    case ('P')
      write (fmt, '(A, I0, A)') '(I6, F6.2, 2F7.2, ', 4*n, 'F9.0, F12.6, 1X, F12.6, 1X, F7.1, ' // &
        '1X, I2, I10, 2I2, I3, F9.3)'
      write (*, fmt) 0, 0.2, ptch, roll, (1000.0*hi(k), 1000.0*hc(k)*fhc(k), 1000.0*pi(k), &
        1000.0*pc(k)*fpc(k), k=1, n), 0d0, 0d0, 0.0, 0, 0, 0, 0, 0, 0.0
    end select
    cn = 0
    first = .false.
  end do
end program n_packet_e2e_oracle
