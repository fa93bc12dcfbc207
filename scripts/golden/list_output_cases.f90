! Writes one list-directed record per input value with this machine's
! gfortran, for the golden table of runtime/list_output.cpp.
!
! Input, one case a line: R and the 16 hex digits of a real(8), or I4 / I8
! and a decimal integer(4) / integer(8).  Output: two lines per case, the
! case and the record itself (the script joins them).
program list_output_cases
  implicit none
  character(len=2) :: ty
  character(len=32) :: value
  integer :: ios
  integer(8) :: bits, i8
  integer(4) :: i4
  real(8) :: x
  do
    read(*, *, iostat=ios) ty, value
    if (ios /= 0) exit
    write(*, '(3A)') trim(ty), ' ', trim(value)
    select case (ty)
    case ('R')
      read(value, '(Z16)') bits
      x = transfer(bits, x)
      write(*, *) x
    case ('I4')
      read(value, *) i4
      write(*, *) i4
    case default
      read(value, *) i8
      write(*, *) i8
    end select
  end do
end program
