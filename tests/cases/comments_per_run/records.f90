! Writes the expected files of this case from the record layouts: the T$ CONV packet gives
! HC = 1234/10, HI = -250/100, PC = 1100/10, PI = 310/100, voltage 12500/1000, temperature
! 29830/100, pitch 345-300, roll -120/10, aux 7 and -3, time 09:05:04.250; no GPS fix.
program records
  implicit none
  call xyz('Default.xyz', 21, 0, -1)
  call xyz('Default.xyz', 22, 0, 1)
  call xyz('SURVEY01.xyz', 23, 1, 1)
  call log('Default.LOG', 21, 1, 0)
  call log('Default.LOG', 22, 1, 1)
  call log('SURVEY01.log', 23, 1, 1)
  call cmt('Default.CMT', 1, 'FIRST NOTE')
  call cmt('Default.CMT', 2, 'SECOND NOTE')
  call cmt('SURVEY01.CMT', 1, 'SECOND NOTE')
  call cmt('SURVEY01.CMT', 2, 'AFTER LAST')
contains
  subroutine xyz(name, station, lineno, cn)
    character(*), intent(in) :: name
    integer, intent(in) :: station, lineno, cn
    open(7, file=name, position='append')
    write(7, '(I6, I6, 4F9.2, I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X,&
      & F12.6, 1X, F7.1, 1X, I2)') station, lineno, 1234/10.0, -250/100.0, 1100/10.0,&
      & 310/100.0, 0, 9, 5, 4 + 250/1000.0, 12500/1000.0, 29830/100.0, cn, 45.0, -120/10.0,&
      & 0, 0d0, 0d0, 0.0, 0
    close(7)
  end subroutine
  subroutine log(name, station, lineno, cn)
    character(*), intent(in) :: name
    integer, intent(in) :: station, lineno, cn
    open(7, file=name, position='append')
    write(7, '(I6, 4F9.2, I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, 1X,&
      & I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)') station, 1234/10.0, -250/100.0,&
      & 1100/10.0, 310/100.0, 0, ichar(' '), lineno, ichar(' '), 9, 5, 4 + 250/1000.0,&
      & 12500/1000.0, 29830/100.0, 7.0, -3.0, cn, 45.0, -120/10.0, 0, 0d0, 0d0, 0.0, 0
    close(7)
  end subroutine
  subroutine cmt(name, number, text)
    character(*), intent(in) :: name, text
    integer, intent(in) :: number
    character(len=16) :: comment
    comment = text
    open(9, file=name, position='append')
    write(9, '(I5, 1X, A16)') number, comment
    close(9)
  end subroutine
end program
