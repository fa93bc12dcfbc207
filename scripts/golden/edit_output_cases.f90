! Writes one field per input case with this machine's gfortran, for the
! golden table of runtime/edit_output.cpp.
!
! Input, one case a line, list-directed:
!   type kind variant w d e k sign value
! type: R real(8) given by its 16 hex digits, I integer (integer(4) when it
! fits, integer(8) otherwise), L logical (T/F), A text (quoted).
! variant: '-' none, 'N' (EN), 'S' (ES).  sign: 'P' processor, 'S' SP, 'U' SS.
! Absent numbers are -1.
!
! Output, tab separated:
!   descriptor type kind variant w d e k sign value |field|
! where a failed write (gfortran refuses the descriptor) gives !error.
program edit_output_cases
  implicit none
  character(len=1) :: ty, kind, var, sg
  integer :: w, d, e, k, ios, bar
  character(len=64) :: value
  character(len=128) :: desc, fmt
  character(len=100000) :: buf
  real(8) :: x
  integer(8) :: bits, i8
  integer(4) :: i4
  logical :: l

  do
    read(*, *, iostat=ios) ty, kind, var, w, d, e, k, sg, value
    if (ios /= 0) exit
    desc = ''
    if (sg == 'S') desc = 'SP,'
    if (sg == 'U') desc = 'SS,'
    if (k /= 0) desc = trim(desc) // trim(itoa(k)) // 'P,'
    desc = trim(desc) // kind
    if (var /= '-') desc = trim(desc) // var
    if (w >= 0) desc = trim(desc) // trim(itoa(w))
    if (d >= 0) desc = trim(desc) // '.' // trim(itoa(d))
    if (e >= 0) desc = trim(desc) // 'E' // trim(itoa(e))
    fmt = '(' // trim(desc) // ',A)'
    select case (ty)
    case ('R')
      read(value, '(Z16)') bits
      x = transfer(bits, x)
      write(buf, fmt, iostat=ios) x, '|'
    case ('I')
      read(value, *) i8
      if (i8 >= -huge(i4) - 1 .and. i8 <= huge(i4)) then
        i4 = int(i8, 4)
        write(buf, fmt, iostat=ios) i4, '|'
      else
        write(buf, fmt, iostat=ios) i8, '|'
      end if
    case ('L')
      l = value(1:1) == 'T'
      write(buf, fmt, iostat=ios) l, '|'
    case ('A')
      write(buf, fmt, iostat=ios) trim(value), '|'
    end select
    bar = index(buf, '|', back=.true.)
    if (ios /= 0) then
      buf = '!error'
      bar = 6
    else
      buf = '|' // buf(1:bar)
      bar = bar + 1
    end if
    write(*, '(*(A))') trim(desc), achar(9), ty, achar(9), kind, achar(9), var, achar(9), &
        trim(itoa(w)), achar(9), trim(itoa(d)), achar(9), trim(itoa(e)), achar(9), &
        trim(itoa(k)), achar(9), sg, achar(9), trim(value), achar(9), buf(1:bar)
  end do
contains
  function itoa(n) result(s)
    integer, intent(in) :: n
    character(len=12) :: s
    write(s, '(I0)') n
  end function
end program
