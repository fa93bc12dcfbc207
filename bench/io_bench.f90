! The GNU Fortran side of the input/output benchmark (see io_bench.cpp):
!   io_bench_gf read FILE     read subjects under (F6.0,100F2.0)
!   io_bench_gf write FILE    write a 1000 x 1000 matrix under (999(F12.9,1X))
program io_bench_gf
  implicit none
  integer, parameter :: nitems = 100, order = 1000
  character(len=16) :: mode
  character(len=4096) :: file
  character(len=64) :: fmt
  real(8) :: id, values(nitems), row(order), checksum
  integer(8) :: t0, t1, rate
  integer :: ios, i, j
  integer :: count

  call get_command_argument(1, mode)
  call get_command_argument(2, file)
  checksum = 0
  call system_clock(t0, rate)
  if (mode == 'read') then
    ! The format is a run-time text, as in io_bench.cpp.
    fmt = '(F6.0,100F2.0)'
    open(10, file=trim(file), status='old', action='read')
    count = 0
    do
      read(10, fmt, iostat=ios) id, values
      if (ios /= 0) exit
      count = count + 1
      checksum = checksum + id + sum(values)
    end do
    close(10)
  else if (mode == 'write') then
    fmt = '(999(F12.9,1X))'
    open(11, file=trim(file), status='replace')
    do i = 1, order
      do j = 1, order
        row(j) = sin(0.001d0 * i * j)
        checksum = checksum + row(j)
      end do
      write(11, fmt) row
    end do
    close(11)
    count = order
  else
    write(0, '(A)') 'usage: io_bench_gf read|write FILE'
    stop 2
  end if
  call system_clock(t1)
  write(*, '(A,F0.3,A,I0,A,F0.6)') 'seconds ', real(t1 - t0, 8) / real(rate, 8), ' records ', count, &
    ' checksum ', checksum
end program io_bench_gf
