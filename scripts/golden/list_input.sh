#!/usr/bin/env bash
# Golden values for list-directed input (tests/runtime/list_input_test.cpp).
#
# Each case is a list of items and the records of a file; gfortran reads the
# items from that file with one list-directed READ, and we record iostat, each
# item's value (reals as their bit pattern) and the record that a following
# READ '(A)' gets.  Items start with sentinels so that null values show.
#
# Item letters: i = integer(4), j = integer(8), r = real(8), l = logical,
# cN = character(len=N).
#
# Usage: scripts/golden/list_input.sh > tests/runtime/golden/list_input.txt
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import sys, os
work = sys.argv[1]

# (items, records)
cases = [
    # separators
    ("i i i", ["1 2 3"]),
    ("i i i", ["1,2,3"]),
    ("i i i", ["  1 ,  2  ,3  "]),
    ("i i i", ["1\t2\t\t3"]),
    ("i i i", ["1", "2", "3"]),
    ("i i i", ["1 2", "", "   ", "3 4 5"]),
    ("i i i", ["1,", "2,", "3"]),
    ("i i i", ["1 ,", " 2 ,", "3,"]),
    # null values
    ("i i i", ["1,,3"]),
    ("i i i", [",2,3"]),
    ("i i i", [" , 2 , 3"]),
    ("i i i", ["1,2,,"]),
    ("i i i", ["1, ,3"]),
    ("i i i", ["1,", ",3"]),
    ("i i i", [",", ",", "3"]),
    ("i i i", ["1,2,"]),
    ("r r r", ["1.5,,2.5"]),
    ("c4 c4 c4", ["ab,,cd"]),
    ("l l", [",F"]),
    # repeat counts
    ("i i i i", ["3*7 8"]),
    ("i i i i", ["2* 5 6"]),
    ("i i i i", ["1 2*,4"]),
    ("r r r", ["2*1.5", "2.5"]),
    ("c3 c3 c3", ["3*abc"]),
    ("c3 c3", ["2*'x y'"]),
    ("i i", ["5*3"]),
    ("i i i", ["2*", "9"]),
    ("i i", ["0*3 4"]),
    ("i i", ["1*3 4"]),
    ("l l l", ["3*T"]),
    ("r r", ["2*"]),
    # slash
    ("i i i", ["1 2 / 3"]),
    ("i i i", ["1 /"]),
    ("i i i", ["/ 1 2 3"]),
    ("i i i", ["1,/"]),
    ("i i i", ["1", "/", "5"]),
    ("i i i", ["1 2/3"]),
    ("c5 i", ["ab/cd 3"]),
    ("i", ["4/ garbage"]),
    # end of file
    ("i i i", ["1 2"]),
    ("i", []),
    ("i", ["", ""]),
    ("c4", ["'abc"]),
    # no items: one record consumed
    ("", ["1 2 3", "next"]),
    ("", ["", "next"]),
    # the rest of the last record is skipped
    ("i", ["1 2 3", "next line"]),
    ("i i", ["1", "2 3 4", "after"]),
    ("i", ["1", "after"]),
    ("i", ["1,", "after"]),
    ("i", ["1 ", "after"]),
    # integers
    ("i i i", ["+5 -0 007"]),
    ("i", ["1.5"]),
    ("i", ["1e2"]),
    ("i", ["12x"]),
    ("i", ["2147483647"]),
    ("i", ["2147483648"]),
    ("i", ["-2147483648"]),
    ("j", ["9223372036854775807"]),
    ("j", ["9223372036854775808"]),
    ("j", ["-9223372036854775808"]),
    ("i", ["'12'"]),
    ("i", ["T"]),
    ("i", ["+"]),
    ("i", ["-"]),
    # reals
    ("r r r r", ["1 -2 +3. .5"]),
    ("r r r r", ["1.e5 1d5 1.5E-3 2.5D+2"]),
    ("r r r", ["1.5+3 1.5-3 1.5q2"]),
    ("r r r", ["inf -Infinity nan"]),
    ("r r", ["NaN(x) +inf"]),
    ("r", ["1e999"]),
    ("r", ["-1e999"]),
    ("r", ["1e-999"]),
    ("r", ["0.1000000000000000055511151231257827021181583404541015625"]),
    ("r", ["9007199254740993"]),
    ("r", ["2.4703282292062328e-324"]),
    ("r", ["1.5e"]),
    ("r", ["1.5x"]),
    ("r", ["."]),
    ("r", ["+"]),
    ("r", ["e5"]),
    ("r", ["'1.5'"]),
    ("r", ["T"]),
    ("r", ["1.5.3"]),
    ("r r", ["(1.0,2.0) 3"]),
    # logicals
    ("l l l l", ["T F .TRUE. .false."]),
    ("l l l", ["t f .t"]),
    ("l l", ["true falsehood"]),
    ("l l", ["Tx,F"]),
    ("l", ["x"]),
    ("l", ["."]),
    ("l", ["1"]),
    ("l l", [".T.,.F."]),
    ("l l", ["'T' F"]),
    # text
    ("c6 c6", ["abc defghijk"]),
    ("c6", ["'it''s'"]),
    ("c6", ['"say ""hi"""']),
    ("c6", ["'a,b /c'"]),
    ("c8 c8", ["'ab'  'cd'"]),
    ("c8 i", ["'ab',5"]),
    ("c8", ["'abc", "def'"]),
    ("c8", ["'abc", "", "def'"]),
    ("c8", ["'ab''", "'cd'"]),
    ("c3", ["'abcdef'"]),
    ("c3", ["abcdef"]),
    ("c4 c4", ["'' x"]),
    ("c4", ["ab'cd"]),
    ("c4", ["'ab'cd"]),
    ("c4 c4", ["a*b c"]),
    ("c4 c4", ["2*a'b"]),
    ("c8", ["ab\tcd"]),
    ("c4 c4", ["x", "y"]),
    ("c6 c6", ["'abc' def"]),
    ("c4", ["   "]),
    ("c6 i", ["DATA:", "7"]),
    # more separators, quotes and hostile counts
    ("i i", ["1", ",3"]),
    ("i i", ["1 ", "  ,  3"]),
    ("c8 c8", ["'ab'", "'cd'"]),
    ("i i", ["99999999999*1"]),
    ("i i", ["*5"]),
    ("i i i", ["2*/", "9"]),
    ("r r", ["-0 -0.0"]),
    ("r", ["0.5E-320"]),
    ("c4 c4", ["2*3"]),
    ("c4 c4", ["12abc x"]),
    ("", []),
    # lines the engine reads
    ("c6 c50 i i", [">DATA:  mydata.dat 12 500"]),
    ("c10 r i r i l r c3 i l",
     [">TECHNICAL: .0001 200 .00001 200 T .2 ONE 120 F"]),
    ("c10 c20 c20", [">LABELS: 'Var one' \"var 2\""]),
    ("r r r", ["1.0", "0.5", "0.25", "next row"]),
]

lines = ["program list_golden", "  implicit none", "  integer :: ios", "  character(len=300) :: msg, nxt",
         "  integer :: nlen"]
for n, (items, recs) in enumerate(cases):
    path = os.path.join(work, f"c{n}.dat")
    with open(path, "w") as f:
        for r in recs:
            f.write(r + "\n")
    toks = items.split()
    decl, init, names, outs = [], [], [], []
    for k, t in enumerate(toks):
        v = f"v{k}"
        names.append(v)
        if t == "i":
            decl.append(f"integer(4) :: {v}"); init.append(f"{v} = -77")
            outs.append(f"write(*,'(A,I0)') 'val i ', {v}")
        elif t == "j":
            decl.append(f"integer(8) :: {v}"); init.append(f"{v} = -77")
            outs.append(f"write(*,'(A,I0)') 'val j ', {v}")
        elif t == "r":
            decl.append(f"real(8) :: {v}"); init.append(f"{v} = -77.0_8")
            outs.append(f"write(*,'(A,Z16.16)') 'val r ', transfer({v}, 0_8)")
        elif t == "l":
            decl.append(f"logical :: {v}"); init.append(f"{v} = .true.")
            outs.append(f"write(*,'(A,L1)') 'val l ', {v}")
        else:
            ln = int(t[1:])
            decl.append(f"character(len={ln}) :: {v}"); init.append(f"{v} = repeat('#', {ln})")
            outs.append(f"write(*,'(A)') 'val c [' // {v} // ']'")
    lines.append("  block")
    lines += ["    " + d for d in decl]
    lines += ["    " + i for i in init]
    lines.append(f"    open(10, file='{path}', status='old', action='read')")
    lines.append("    msg = ''")
    lines.append(f"    read(10, *, iostat=ios, iomsg=msg) {', '.join(names)}")
    lines.append(f"    write(*,'(A,I0)') 'case ', {n}")
    lines.append(f"    write(*,'(A)') 'items {items}'")
    for r in recs:
        esc = r.replace("'", "''")
        lines.append(f"    write(*,'(A)') 'rec [' // '{esc}' // ']'")
    lines.append("    write(*,'(A,I0,1X,A)') 'ios ', ios, trim(msg)")
    lines.append("    if (ios == 0) then")
    lines += ["      " + o for o in outs]
    lines.append("      read(10, '(A)', advance='no', size=nlen, iostat=ios) nxt")
    lines.append("      if (is_iostat_end(ios)) then")
    lines.append("        write(*,'(A)') 'next eof'")
    lines.append("      else")
    lines.append("        write(*,'(A)') 'next [' // nxt(1:nlen) // ']'")
    lines.append("      end if")
    lines.append("    end if")
    lines.append("    write(*,'(A)') 'end'")
    lines.append("    close(10)")
    lines.append("  end block")
lines.append("end program")
with open(os.path.join(work, "list_golden.f90"), "w") as f:
    f.write("\n".join(lines) + "\n")
PY

gfortran -O0 -ffree-line-length-none -o "$work/list_golden" "$work/list_golden.f90"
echo "# list-directed input read by $(gfortran --version | head -1)"
echo "# generated by scripts/golden/list_input.sh; do not edit"
(cd "$work" && ./list_golden)
