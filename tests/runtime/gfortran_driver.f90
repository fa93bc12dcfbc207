! Reference side of the differential test (differential_test.cpp): runs
! formatted WRITE and READ statements through GNU Fortran's run-time, one
! case after the other, as they come on standard input, and prints what each
! produced.  One process handles every case; a failing statement is reported
! with its IOSTAT and IOMSG and the next case goes on.
!
! Input, one case:
!   W <n>                  a WRITE of n items
!   <format>               the format text (the whole line)
!   n item lines:          I <16 hex digits>   INTEGER(8) bits
!                          J <16 hex digits>   INTEGER(4), the low 32 bits
!                          R <16 hex digits>   REAL(8) bits
!                          L T | L F
!                          A <len>:<text>      CHARACTER(len)
! or
!   R <nrec> <n>           a READ of n items from an internal file of nrec
!                          records
!   <format>
!   nrec lines:            <len>:<text>
!   n item lines:          I | J | R | L | A <len>
! Output, one case:
!   OK <count>, then the records written (<len>:<text>) or the items read
!   (in the item line forms above), or
!   ERR <iostat> <iomsg>
!
! Items of one statement are passed as runs of the types I, R, L, A, J, I,
! R, ... (at most nruns runs), each run an implied DO over its own array,
! so that one statement carries items of mixed types in any order that fits
! that pattern.
program gfortran_driver
  implicit none
  integer, parameter :: maxitems = 256, linelen = 65536, textlen = 1024
  integer, parameter :: nruns = 15, maxrecs = 256, reclimit = 8192
  integer, parameter :: outunit = 10
  character(len=linelen) :: line, fmt
  character(len=1) :: types(maxitems)
  integer(8) :: iv(maxitems), bits
  integer(4) :: jv(maxitems)
  real(8) :: rv(maxitems)
  logical :: lv(maxitems)
  character(len=textlen) :: av(maxitems)
  integer :: alen(maxitems)
  integer :: s(nruns), e(nruns)
  character(len=reclimit) :: recs(maxrecs)
  integer :: reclen(maxrecs)
  integer :: ios, n, nrec, k, ni, nr, nl, na, nj, colon, ilen
  character(len=:), allocatable :: ibuf(:)
  character(len=512) :: msg
  character(len=1) :: mode

  open(outunit, status='scratch', form='formatted', recl=1000000)
  do
    read(*, '(A)', iostat=ios) line
    if (ios /= 0) exit
    mode = line(1:1)
    if (mode == 'W') then
      read(line(2:), *) n
      nrec = 0
    else if (mode == 'R') then
      read(line(2:), *) nrec, n
    else
      cycle
    end if
    read(*, '(A)') fmt
    do k = 1, nrec
      read(*, '(A)') line
      call split_text(line, recs(k), reclen(k))
    end do
    ni = 0; nr = 0; nl = 0; na = 0; nj = 0
    do k = 1, n
      read(*, '(A)') line
      types(k) = line(1:1)
      select case (line(1:1))
      case ('I')
        ni = ni + 1
        iv(ni) = 0
        if (mode == 'W') read(line(3:18), '(Z16)') iv(ni)
      case ('J')
        nj = nj + 1
        jv(nj) = 0
        if (mode == 'W') then
          read(line(3:18), '(Z16)') bits
          jv(nj) = int(bits, 4)
        end if
      case ('R')
        nr = nr + 1
        rv(nr) = 0
        if (mode == 'W') then
          read(line(3:18), '(Z16)') bits
          rv(nr) = transfer(bits, rv(nr))
        end if
      case ('L')
        nl = nl + 1
        lv(nl) = line(3:3) == 'T'
      case ('A')
        na = na + 1
        if (mode == 'W') then
          call split_text(line(3:), av(na), alen(na))
        else
          read(line(3:), *) alen(na)
          av(na) = ' '
        end if
      end select
    end do
    call make_runs(n)

    if (mode == 'W') then
      rewind(outunit)
      write(outunit, fmt, iostat=ios, iomsg=msg) &
        (iv(k), k = s(1), e(1)), (rv(k), k = s(2), e(2)), (lv(k), k = s(3), e(3)), &
        (av(k)(1:alen(k)), k = s(4), e(4)), (jv(k), k = s(5), e(5)), &
        (iv(k), k = s(6), e(6)), (rv(k), k = s(7), e(7)), (lv(k), k = s(8), e(8)), &
        (av(k)(1:alen(k)), k = s(9), e(9)), (jv(k), k = s(10), e(10)), &
        (iv(k), k = s(11), e(11)), (rv(k), k = s(12), e(12)), (lv(k), k = s(13), e(13)), &
        (av(k)(1:alen(k)), k = s(14), e(14)), (jv(k), k = s(15), e(15))
      if (ios /= 0) then
        call report_error(ios, msg)
        close(outunit)
        open(outunit, status='scratch', form='formatted', recl=1000000)
        cycle
      end if
      endfile(outunit)
      rewind(outunit)
      nrec = 0
      do
        call read_record(outunit, recs(nrec + 1), reclen(nrec + 1), ios)
        if (ios /= 0) exit
        nrec = nrec + 1
        if (nrec == maxrecs) exit
      end do
      write(*, '(A,I0)') 'OK ', nrec
      do k = 1, nrec
        call put_text(recs(k), reclen(k))
      end do
    else
      ! An internal file: records of one length, the longest given (the
      ! test pads the others with blanks itself).
      ilen = 0
      if (nrec > 0) ilen = maxval(reclen(1:nrec))
      if (allocated(ibuf)) deallocate(ibuf)
      allocate(character(len=ilen) :: ibuf(max(nrec, 1)))
      ibuf = ' '
      do k = 1, nrec
        ibuf(k) = recs(k)(1:reclen(k))
      end do
      read(ibuf(1:nrec), fmt, iostat=ios, iomsg=msg) &
        (iv(k), k = s(1), e(1)), (rv(k), k = s(2), e(2)), (lv(k), k = s(3), e(3)), &
        (av(k)(1:alen(k)), k = s(4), e(4)), (jv(k), k = s(5), e(5)), &
        (iv(k), k = s(6), e(6)), (rv(k), k = s(7), e(7)), (lv(k), k = s(8), e(8)), &
        (av(k)(1:alen(k)), k = s(9), e(9)), (jv(k), k = s(10), e(10)), &
        (iv(k), k = s(11), e(11)), (rv(k), k = s(12), e(12)), (lv(k), k = s(13), e(13)), &
        (av(k)(1:alen(k)), k = s(14), e(14)), (jv(k), k = s(15), e(15))
      if (ios /= 0) then
        call report_error(ios, msg)
        cycle
      end if
      write(*, '(A,I0)') 'OK ', n
      ni = 0; nr = 0; nl = 0; na = 0; nj = 0
      do k = 1, n
        select case (types(k))
        case ('I')
          ni = ni + 1
          write(*, '(A,Z16.16)') 'I ', iv(ni)
        case ('J')
          nj = nj + 1
          write(*, '(A,Z16.16)') 'J ', int(jv(nj), 8)
        case ('R')
          nr = nr + 1
          write(*, '(A,Z16.16)') 'R ', transfer(rv(nr), bits)
        case ('L')
          nl = nl + 1
          if (lv(nl)) then
            write(*, '(A)') 'L T'
          else
            write(*, '(A)') 'L F'
          end if
        case ('A')
          na = na + 1
          write(*, '(A)', advance='no') 'A '
          call put_text(av(na), alen(na))
        end select
      end do
    end if
    flush(6)
  end do

contains

  ! "<len>:<text>" into text and its length.
  subroutine split_text(src, text, length)
    character(len=*), intent(in) :: src
    character(len=*), intent(out) :: text
    integer, intent(out) :: length
    colon = index(src, ':')
    read(src(1:colon - 1), *) length
    text = src(colon + 1:colon + length)
  end subroutine

  subroutine put_text(text, length)
    character(len=*), intent(in) :: text
    integer, intent(in) :: length
    write(*, '(I0,A,A)') length, ':', text(1:length)
  end subroutine

  ! A format error's message spans lines (the format and a caret): it is
  ! printed on one.
  subroutine report_error(code, message)
    integer, intent(in) :: code
    character(len=*), intent(inout) :: message
    integer :: j
    do j = 1, len(message)
      if (message(j:j) == achar(10) .or. message(j:j) == achar(13)) message(j:j) = '|'
    end do
    write(*, '(A,I0,A,A)') 'ERR ', code, ' ', trim(message)
    flush(6)
  end subroutine

  ! One record of the unit, with its exact length (trailing blanks kept).
  subroutine read_record(unit, text, length, status)
    integer, intent(in) :: unit
    character(len=*), intent(out) :: text
    integer, intent(out) :: length, status
    integer :: got
    read(unit, '(A)', advance='no', size=got, iostat=status) text
    length = got
    if (status == -2) status = 0   ! end of record: the whole record was read
  end subroutine

  ! The run bounds of the item types in order; runs cycle I, R, L, A, J.
  subroutine make_runs(count)
    integer, intent(in) :: count
    character(len=5), parameter :: cycle_types = 'IRLAJ'
    integer :: next(5), run, j, t
    next = 1
    run = 1
    s = 1
    e = 0
    do j = 1, count
      t = index(cycle_types, types(j))
      do while (cycle_types(mod(run - 1, 5) + 1:mod(run - 1, 5) + 1) /= types(j))
        run = run + 1
        if (run > nruns) stop 'item types do not fit the runs'
        s(run) = next(mod(run - 1, 5) + 1)
        e(run) = s(run) - 1
      end do
      if (e(run) < s(run)) s(run) = next(t)
      e(run) = next(t)
      next(t) = next(t) + 1
    end do
  end subroutine

end program gfortran_driver
