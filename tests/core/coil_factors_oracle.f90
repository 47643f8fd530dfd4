! Independent check of the coil conversion factors expected by coil_configuration_test.cpp.
! Run: gfortran coil_factors_oracle.f90 -o oracle && ./oracle
! Prints c, then per spacing the factor stored as real*4 (digits and bits) for the two
! evaluation orders c*s*s*... and s*c*s*...
program coil_factors_oracle
  implicit none
  real*8 :: pi_d, c
  real*4 :: pi_s, f1, f2
  real*4 :: s(10)
  integer :: k
  pi_s = 3.1415927
  pi_d = pi_s
  c = pi_d*2.0*9000.0*4.0e-7*pi_d
  write (*, '(A,ES25.17)') 'c=', c
  s = (/0.5, 0.6, 1.0, 1.1, 2.0, 2.1, 4.0, 4.1, 6.0, 6.1/)
  do k = 1, 10
    f1 = c*s(k)*s(k)*0.25*1000.0/1000.0
    f2 = s(k)*c*s(k)*0.25*1000.0/1000.0
    write (*, '(F4.1,1X,G15.7,1X,Z8.8,1X,Z8.8)') s(k), f1, f1, f2
  end do
end program coil_factors_oracle
