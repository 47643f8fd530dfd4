! Independent check of the expected files of the D$/X$ cases under tests/cases/dx_*: a small
! transcriber of the lines those raw files hold (H$, identification and comment C$ lines, O$,
! D$ and X$ lines, and the 83- and 70-column T$ lines of the prompt case), written from the record
! layouts, with the values computed in real*4 and written with gfortran's formatted output.
! Run: gfortran dx_packets_oracle.f90 -o oracle && ./oracle survey.raw XDLSP [421]
! writes oracle_X.txt, oracle_D.txt, ... (the main file of each run, in order) and oracle.SDF;
! the optional third argument is the answer typed at the length-code prompt.
module state
  implicit none
  integer :: hour = 0, minute = 0, second = 0, msec = 0, station = 0, lineno = 0, ndigit = 0
  character(1) :: stn_suffix = ' ', line_suffix = ' '
  integer :: volt_raw = 0, temp_raw = 0, pitch_raw = 0, roll_raw = 0, aux1 = 0, aux2 = 0
  real*4 :: voltage = 0.0, temperature = 0.0, pitch = 0.0, roll = 0.0
  character(4) :: data_tag = '    '
  integer :: raw_hi(3) = 0, raw_pi(3) = 0, raw_hq(3) = 0, raw_pq(3) = 0
  real*4 :: hc(3) = 0.0, hi(3) = 0.0, pc(3) = 0.0, pi(3) = 0.0
  real*4 :: uoff(4, 3) = 0.0  ! user offsets (ppt) of each array
  integer :: length_code = 0, n = 1, cn = -1, dat31_last = -9999999
  real*4 :: s_hc(3) = 0.0, s_pc(3) = 0.0, f_hc(3) = 0.0, f_pc(3) = 0.0
  real*4 :: sw_version = 0.0
  character(19) :: file_name = ' '
  integer :: fyear = 0, fmonth = 0, fday = 0
  character(1) :: code
  logical :: santos_due, sdf_pending, array1_read
  integer :: answer = 1
  real*8 :: cfac
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

  ! Rows of the tables used by the cases: 1, 2, 21, 421, 620 (the same in every table).
  subroutine geometry(c)
    integer, intent(in) :: c
    select case (c)
    case (1)
      n = 1; s_hc(1) = 1.0; s_pc(1) = 1.1
    case (2)
      n = 1; s_hc(1) = 2.0; s_pc(1) = 2.1
    case (21)
      n = 2; s_hc(1:2) = (/1.0, 2.0/); s_pc(1:2) = (/1.1, 2.1/)
    case (421)
      n = 3; s_hc = (/1.0, 2.0, 4.0/); s_pc = (/1.1, 2.1, 4.1/)
    case (620)
      n = 2; s_hc(1:2) = (/2.0, 6.0/); s_pc(1:2) = (/2.1, 6.1/)
    case default
      stop 'code not in the oracle'
    end select
  end subroutine geometry

  function labels() result(t)
    character(120) :: t
    character(35) :: block
    character(3) :: digits
    integer :: k
    select case (length_code)
    case (1); digits = '1'
    case (2); digits = '2'
    case (21); digits = '12'
    case (421); digits = '124'
    case (620); digits = '26'
    end select
    t = ' '
    do k = 1, n
      block = 'HC#-mS/m.HI#-ppt.PC#-mS/m..PI#-ppt.'
      block(3:3) = digits(k:k); block(12:12) = digits(k:k)
      block(20:20) = digits(k:k); block(30:30) = digits(k:k)
      t(35*(k-1)+1:35*k) = block
    end do
  end function labels

  subroutine set_configuration()
    integer :: k
    call geometry(length_code)
    do k = 1, n
      f_hc(k) = factor(s_hc(k)); f_pc(k) = factor(s_pc(k))
    end do
  end subroutine set_configuration

  subroutine geosoft_header()
    write (7, "('\Veltor Filename is ', A19)") file_name
    write (7, "('\Veltor Sensor Length Code is ', I2)") length_code
    write (7, '(A)') '\..STN.SP.LINE.LP.'//trim(labels())// &
      '.N.HH.MM.SS.V.......T-K.....CN..Ptch...Roll'// &
      '......GPS_TIME..Lat..........Lon.........GPS_Alt.DMode'
  end subroutine geosoft_header

  real*4 function seconds()
    seconds = real(second) + real(msec)/1000.0
  end function seconds

  subroutine dat31()
    if (lineno /= dat31_last) then
      write (7, "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)") lineno, ndigit, line_suffix, stn_suffix, 1.0
      write (7, "('T', I5, ':', I2, I3, '-', I2, '-', I2)") hour, minute, fday, fmonth, fyear
      dat31_last = lineno
    end if
    write (7, "('S', A1, '10', I6, '.000', 2F10.3)") 'V', station, hc(1), hi(1)
    write (7, "('S', A1, '10', I6, '.000', 2F10.3)") 'H', station, pc(1), pi(1)
  end subroutine dat31

  subroutine log_record()
    character(200) :: f
    integer :: k
    write (f, "(A, I1, A)") '(I6, ', n, '(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 1X, I4,' // &
      ' 2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)'
    write (7, f) station, (hc(k), hi(k), pc(k), pi(k), k = 1, n), ndigit, ichar(stn_suffix), &
      lineno, ichar(line_suffix), hour, minute, seconds(), voltage, temperature, cn, pitch, roll, &
      0, 0d0, 0d0, 0.0, 0
  end subroutine log_record

  subroutine xyz_record()
    character(200) :: f
    integer :: k
    write (f, "(A, I1, A)") '(I6, I6, ', n, '(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2,' // &
      ' 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)'
    write (7, f) station, lineno, (hc(k), hi(k), pc(k), pi(k), k = 1, n), ndigit, hour, minute, &
      seconds(), voltage, temperature, cn, pitch, roll, 0, 0d0, 0d0, 0.0, 0
  end subroutine xyz_record

  subroutine geosoft_record()
    character(200) :: f
    integer :: k
    write (f, "(A, I1, A)") '(I6, 1X, A1, I6, 1X, A1, ', n, '(4F9.2), I2, 2I3, F7.3, F7.3, F7.1,' // &
      ' 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)'
    write (7, f) station, stn_suffix, lineno, line_suffix, (hc(k), hi(k), pc(k), pi(k), k = 1, n), &
      ndigit, hour, minute, seconds(), voltage, temperature, cn, pitch, roll, 0, 0d0, 0d0, 0.0, 0
  end subroutine geosoft_record

  subroutine santos_record()
    character(200) :: f
    integer :: k
    if (santos_due) then
      write (7, "(I6, F12.2, I6)") -9, 0.2
      santos_due = .false.
    end if
    write (f, "(A, I1, A)") '(F12.1, 1X, F12.1, 1X, F8.2, ', n, '(2F9.2), 2F14.8, I12)'
    write (7, f) dble(lineno), dble(station), 0.0, (hc(k), pc(k), k = 1, n), 0d0, 0d0, 0
  end subroutine santos_record

  subroutine ppm_record()
    character(200) :: f
    integer :: k
    if (sdf_pending .and. s_hc(1) /= 0.0 .and. s_pc(1) /= 0.0) then
      open (8, file='oracle.SDF', status='replace')
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
    write (f, "(A, I1, A)") '(I6, F6.2, 2F7.2, ', n, '(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2,' // &
      ' I10, 2I2, I3, F9.3)'
    write (7, f) station, 0.2, pitch, roll, (1000.0*hi(k), 1000.0*hc(k)*f_hc(k), 1000.0*pi(k), &
      1000.0*pc(k)*f_pc(k), k = 1, n), 0d0, 0d0, 0.0, 0, 0, 0, 0, 0, 0.0
  end subroutine ppm_record

  subroutine header_line(line)
    character(120), intent(in) :: line
    integer :: k
    file_name = line(11:18)
    k = len_trim(file_name)
    select case (code)
    case ('X', 'G'); file_name(k+1:k+4) = '.xyz'
    case ('D'); file_name(k+1:k+4) = '.g31'
    case ('L'); file_name(k+1:k+4) = '.log'
    case ('S'); file_name(k+1:k+4) = '.san'
    case ('P'); file_name(k+1:k+4) = '.idf'; sdf_pending = .true.
    end select
    read (line(20:25), '(3I2)') fyear, fmonth, fday
    read (line(27:), *) length_code
    read (line(4:9), '(3I2)') hour, minute, second
    msec = 0
    call set_configuration()
    lineno = 1
    voltage = 0.0; temperature = 0.0
    cn = 0
    uoff = 0.0
    if (code == 'D') then
      write (7, "('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ')") file_name(1:k)
      dat31_last = -9999999
    else if (code == 'G') then
      call geosoft_header()
    end if
  end subroutine header_line

  subroutine identification_line(line)
    character(120), intent(in) :: line
    integer :: p
    read (line(4:9), '(3I2)') hour, minute, second
    msec = 0
    read (line(18:20), '(I3)') length_code
    p = index(line, 'SW VERSION')
    read (line(p+10:p+13), '(F4.1)') sw_version
    call geometry(length_code)
    if (code == 'G') call geosoft_header()
    call set_configuration()
  end subroutine identification_line

  ! O$: the offsets of array k, given in ppm, kept in ppt.
  subroutine offset_line(line)
    character(120), intent(in) :: line
    integer :: k
    real*4 :: v(4)
    read (line(4:5), *) k
    read (line(7:30), *) v
    uoff(:, k) = v/1000.0
  end subroutine offset_line

  ! Record selection of D$ (from_x false) and X$ lines.
  subroutine records(from_x)
    logical, intent(in) :: from_x
    select case (code)
    case ('D')
      if (.not. from_x) call dat31()
    case ('L')
      if (from_x .or. n == 1) call log_record()
    case ('X')
      if (from_x .or. n == 1) call xyz_record()
    case ('G')
      if (from_x .or. n == 1) call geosoft_record()
    case ('S')
      if (from_x .or. n == 1) call santos_record()
    case ('P')
      if (from_x .or. n == 1) call ppm_record()
    end select
  end subroutine records

  subroutine d_line(line)
    character(120), intent(in) :: line
    integer :: l, k, ios
    l = len_trim(line)
    array1_read = .false.
    if (sw_version == 0.0) then
      read (line, "(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6)", iostat=ios) hour, minute, &
        second, lineno, line_suffix, station, stn_suffix, ndigit, raw_hq(1), raw_hi(1), &
        raw_pq(1), raw_pi(1)
    else if (sw_version > 0.0 .and. sw_version < 5.1) then
      read (line, "(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I6))", iostat=ios) &
        hour, minute, second, lineno, line_suffix, station, stn_suffix, ndigit, raw_hq(1), &
        raw_hi(1), raw_pq(1), raw_pi(1), volt_raw, temp_raw
    else if (sw_version >= 5.1 .and. (l == 50 .or. l == 72)) then
      read (line, "(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)", &
        iostat=ios) hour, minute, second, lineno, line_suffix, station, stn_suffix, ndigit, &
        raw_hq(1), raw_hi(1), raw_pq(1), raw_pi(1), volt_raw, temp_raw, pitch_raw, roll_raw
      if (ios == 0) then
        if (l == 50) then
          pitch = real(pitch_raw)/10.0; roll = real(roll_raw)/10.0
        else
          msec = 0; pitch = angle(pitch_raw); roll = angle(roll_raw)
        end if
      end if
    else if (sw_version >= 5.1 .and. l == 76) then
      read (line, "(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X," // &
        " 2I4)", iostat=ios) hour, minute, second, msec, lineno, line_suffix, station, &
        stn_suffix, ndigit, raw_hq(1), raw_hi(1), raw_pq(1), raw_pi(1), volt_raw, temp_raw, &
        pitch_raw, roll_raw
      if (ios == 0) then
        pitch = angle(pitch_raw); roll = angle(roll_raw)
      end if
    else
      print '(A)', ' D$ packet error:'//trim(line)
      return
    end if
    if (ios /= 0) then
      print '(A)', ' skipped: '//trim(line)
      return
    end if
    voltage = real(volt_raw)/1000.0
    temperature = real(temp_raw)/100.0
    data_tag = 'CONV'
    do k = 1, 3
      pc(k) = real(raw_pq(k))/10.0 - uoff(4, 1)/f_pc(1)
      hc(k) = real(raw_hq(k))/10.0 - uoff(3, 1)/f_hc(1)
      pi(k) = real(raw_pi(k))/100.0 - uoff(2, 1)
      hi(k) = real(raw_hi(k))/100.0 - uoff(1, 1)
    end do
    array1_read = .true.
    call records(.false.)
  end subroutine d_line

  subroutine x_line(line)
    character(120), intent(in) :: line
    integer :: l, k, ios
    l = len_trim(line)
    if (l == 34 .or. l == 58) then
      read (line, "(3X, 3I2, 1X, 8I6)", iostat=ios) hour, minute, second, &
        (raw_hq(k), raw_hi(k), raw_pq(k), raw_pi(k), k = 2, n)
      if (ios == 0) msec = 0
    else if (l == 38 .or. l == 62) then
      read (line, "(3X, 3I2, 1X, I3, 1X, 8I6)", iostat=ios) hour, minute, second, msec, &
        (raw_hq(k), raw_hi(k), raw_pq(k), raw_pi(k), k = 2, n)
    else
      print '(A)', ' X$ read error!'
      ios = 0
    end if
    if (ios /= 0) then
      print '(A)', ' skipped: '//trim(line)
      return
    end if
    if (data_tag == 'CONV') then
      do k = 2, n
        pc(k) = real(raw_pq(k))/10.0 - uoff(4, k)/f_pc(k)
        hc(k) = real(raw_hq(k))/10.0 - uoff(3, k)/f_hc(k)
        pi(k) = real(raw_pi(k))/100.0 - uoff(2, k)
        hi(k) = real(raw_hi(k))/100.0 - uoff(1, k)
      end do
      if (length_code == 620) then
        pc(2) = pc(2)*0.45176026
        hc(2) = hc(2)*0.44444445
      end if
    else if (data_tag == 'NULD' .or. data_tag == 'RAW ') then
      if (s_hc(1) == 0.0 .or. s_pc(1) == 0.0) then
        print '(A)', ' prompt'
        length_code = answer
      end if
      call geometry(length_code)
      do k = 2, n
        f_hc(k) = factor(s_hc(k)); f_pc(k) = factor(s_pc(k))
        pc(k) = (real(raw_pq(k))/100.0 - uoff(4, k))/f_pc(k)
        hc(k) = (real(raw_hq(k))/100.0 - uoff(3, k))/f_hc(k)
        pi(k) = real(raw_pi(k))/100.0 - uoff(2, k)
        hi(k) = real(raw_hi(k))/100.0 - uoff(1, k)
      end do
    else
      print '(A)', ' not implemented '//data_tag
    end if
    if (array1_read) call records(.true.)
  end subroutine x_line

  ! T$ lines of 83 columns (and any other length, which keeps every value), for an X run with
  ! three arrays: no T$ record is written then, only CN is cleared.
  subroutine t_line(line)
    character(120), intent(in) :: line
    integer :: ios
    array1_read = .false.
    if (len_trim(line) == 83) then
      data_tag = line(22:25)
      read (line, "(3X, 3I2, 1X, I3, 1X, I6, 1X, 4X, 1X, 6I6, 1X, I5, 1X, I5, 1X, 2I4)", &
        iostat=ios) hour, minute, second, msec, station, aux1, aux2, raw_hq(1), raw_hi(1), &
        raw_pq(1), raw_pi(1), volt_raw, temp_raw, pitch_raw, roll_raw
      if (ios /= 0) then
        print '(A)', ' skipped: '//trim(line)
        return
      end if
      voltage = real(volt_raw)/1000.0
      temperature = real(temp_raw)/100.0
      pitch = angle(pitch_raw); roll = angle(roll_raw)
      array1_read = .true.
    else
      print '(A)', ' T$ packet error:'//trim(line)
    end if
    if (data_tag == 'NULD' .or. data_tag == 'RAW ') then
      if (s_hc(1) == 0.0 .or. s_pc(1) == 0.0) then
        print '(A)', ' prompt'
        length_code = answer
      end if
      call geometry(length_code)
      f_hc(1) = factor(s_hc(1)); f_pc(1) = factor(s_pc(1))
      hc(1) = (real(raw_hq(1))/100.0 - uoff(3, 1))/f_hc(1)
      pc(1) = (real(raw_pq(1))/100.0 - uoff(4, 1))/f_pc(1)
      hi(1) = real(raw_hi(1))/100.0 - uoff(1, 1)
      pi(1) = real(raw_pi(1))/100.0 - uoff(2, 1)
    else if (data_tag /= 'CONV') then
      print '(A)', ' not implemented '//data_tag
    end if
    if (code /= 'X' .or. n /= 3) stop 'T$ lines only in X runs of three arrays'
    cn = 0
  end subroutine t_line
end module state

program dx_packets_oracle
  use state
  implicit none
  character(256) :: raw_name, codes, arg
  character(120) :: line
  integer :: c, ios
  real*4 :: pi_s

  pi_s = 3.1415927
  cfac = dble(pi_s)*2.0d0*9000.0d0*dble(4.0e-7)*dble(pi_s)
  call get_command_argument(1, raw_name)
  call get_command_argument(2, codes)
  if (command_argument_count() > 2) then
    call get_command_argument(3, arg)
    read (arg, *) answer
  end if
  do c = 1, len_trim(codes)
    code = codes(c:c)
    santos_due = code == 'S'
    sdf_pending = code == 'P'
    array1_read = .false.
    open (7, file='oracle_'//code//'.txt', status='replace')
    open (1, file=raw_name, status='old')
    do
      read (1, '(A)', iostat=ios) line
      if (ios /= 0) exit
      if (line(2:3) == 'Z$') exit
      if (line(2:3) == 'H$') then
        call header_line(line)
      else if (line(2:3) == 'C$' .and. line(4:9) == '000000') then
        call identification_line(line)
      else if (line(2:3) == 'C$') then
        cn = 1
        if (code == 'G') write (7, "('\', A16, ' at: ', 3I3)") 'STONE WALL      ', 9, 5, 2
      else if (line(2:3) == 'O$') then
        call offset_line(line)
      else if (line(2:3) == 'D$') then
        call d_line(line)
      else if (line(2:3) == 'X$') then
        call x_line(line)
      else if (line(2:3) == 'T$') then
        call t_line(line)
      end if
    end do
    close (1)
    close (7)
  end do
end program dx_packets_oracle
