#!/usr/bin/env bash
# Golden values for input editing of one field (tests/runtime/edit_input_test.cpp).
#
# gfortran reads each field with an internal READ under the given descriptor
# and we record iostat and the value: reals as their bit pattern, integers in
# decimal, logicals as T/F, text as it stands.  Output lines are tab-separated:
#   class desc w d k bz field iostat value
# class: R (real(8)), I (integer(8)), L (logical), A<len> (character(len)).
# (A fields here have no trailing blanks: gfortran drops those of an internal
# record before A editing, which an external record does not.)
# desc: F E ES EN D G I B O Z L A; k is the scale factor, bz 1 for BZ.
#
# Usage: scripts/golden/edit_input.sh > tests/runtime/golden/edit_input.txt
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/read_fields.f90" <<'F90'
program read_fields
  implicit none
  character(len=1100000) :: line
  character(len=:), allocatable :: field, fmt, kindtok
  integer :: n, ios, p1, p2, rios, alen
  real(8) :: x
  integer(8) :: i8
  logical :: lv
  character(len=:), allocatable :: cv
  do
    read(*,'(A)',advance='no',size=n,iostat=rios) line
    if (is_iostat_end(rios)) exit
    p1 = index(line(1:n), ' ')
    kindtok = line(1:p1-1)
    p2 = p1 + index(line(p1+1:n), ' ')
    fmt = line(p1+1:p2-1)
    field = line(p2+1:n)
    select case (kindtok(1:1))
    case ('R')
      x = -77.0_8
      read(field, fmt, iostat=ios) x
      write(*,'(I0,1X,Z16.16)') ios, transfer(x, 0_8)
    case ('I')
      i8 = -77
      read(field, fmt, iostat=ios) i8
      write(*,'(I0,1X,I0)') ios, i8
    case ('L')
      lv = .false.
      read(field, fmt, iostat=ios) lv
      write(*,'(I0,1X,L1)') ios, lv
    case ('A')
      read(kindtok(2:),*) alen
      cv = repeat('#', alen)
      read(field, fmt, iostat=ios) cv
      write(*,'(I0,1X,A)') ios, cv
    end select
  end do
end program
F90
gfortran -O1 -o "$work/read_fields" "$work/read_fields.f90"

python3 - "$work" <<'PY'
import random, subprocess, sys
work = sys.argv[1]
cases = []  # (class, desc, d, k, bz, field)

def R(field, desc="F", d=2, k=0, bz=0): cases.append(("R", desc, d, k, bz, field))
def I(field, desc="I", bz=0): cases.append(("I", desc, -1, 0, bz, field))
def L(field): cases.append(("L", "L", -1, 0, 0, field))
def A(field, length): cases.append((f"A{length}", "A", -1, 0, 0, field))

# forms of a real field
for f in ["1.5+3", "1.5-03", "1.e5", ".5", "+", "-", ".", "+.", "-.", "", "   ", "1q5", "1Q5",
          "1d5", "1D-2", "1E+2", "1e2", "e5", "-e5", "--1", "+-1", "-0", "-0.0", "0", "-",
          "1.5e", "1.5e+", "1.5E3.2", "1x", "1.5e3e4", "1,5", "1;5", ",", "1.5/3", "1.5.",
          "1.5 e 3", "1.5 +3", "1.5+ 3", "1.5E 3", "1.5E+ 3", " 1 . 5 ", "- 1.5", "1.5e0007",
          "NaN", "nan", "-NaN", "+nan", "nan()", "nan(ab)", "nan(1 ", "Inf", "-inf", "+Inf",
          "Infinity", "infinityx", "infin", "infini", "inf x", "i n f", "n a n", "+-inf",
          "1e999", "-1e999", "1e-999", "1e99999999999999999999", "1e-99999999999999999999",
          "12345", "123", "1", "-7", "123.", "1234567"]:
    R(f.ljust(max(len(f), 8)))
for f in ["123", "1.23", "1.23e0", "123e1", "-5", "1.5d2", "12+1"]:
    for k in (-3, -1, 1, 2, 5):
        R(f.ljust(8), k=k)
for f in ["1 2 3   ", "   12   ", "1.5e1   ", " -1 2   ", "1.5e+   ", "1.5 e 3 ", "inf     ",
          " inf", "  nan", "1.5E +3 ", "1 . 5   ", "-       ", "        ", ".       "]:
    R(f, bz=1)
    R(f, bz=0)
for desc in ["F", "E", "ES", "EN", "D", "G"]:
    for d in (0, 1, 3):
        for f in ["12345", "-12345", "12.345", "1234E2", "1234-2", "  12 45", ".5E1"]:
            R(f.ljust(10), desc=desc, d=d)
            R(f.ljust(10), desc=desc, d=d, k=2)
R("123", d=5)
R("00000000000000000000001", d=10)
R("1" + "0" * 30, d=30)

# correct rounding
rounding = [
    "9007199254740993", "9007199254740993.000000000000000000001", "9007199254740992.9999999999999",
    "9007199254740995", "9007199254740994.5",
    "0.1", "0.1000000000000000055511151231257827021181583404541015625",
    "0.1000000000000000055511151231257827021181583404541015624",
    "0.1000000000000000055511151231257827021181583404541015626",
    "2.2250738585072011e-308", "2.2250738585072014e-308", "2.2250738585072009e-308",
    "4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
    "2.47032822920623272088e-324", "7.4109846876186982e-324",
    "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
    "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904174497791",
    "179769313486231580793728971405303415079934132710037826936173778980444968292764750946649017977587207096330286416692887910946555547851940402630657488671505820681908902000708383676273854845817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711559699508093042880177904174497792",
    "9007199254740993" + "0" * 1000 + "1" + "E-1001",
    "9007199254740993" + "0" * 1000 + "E-1000",
    "0." + "0" * 400 + "1E401",
    "1" + "0" * 900 + "E-900",
    "3.14159265358979323846264338327950288419716939937510582097494459230781640628620899",
    "123456789012345678901234567890", "8.98846567431158e307", "1e23", "8.5e-323",
]
for f in rounding:
    R(f, d=0)
rng = random.Random(20261209)
for _ in range(400):
    nd = rng.randint(1, 30)
    digits = "".join(rng.choice("0123456789") for _ in range(nd))
    if rng.random() < 0.7:
        p = rng.randint(0, nd)
        mant = digits[:p] + "." + digits[p:]
    else:
        mant = digits
    sign = rng.choice(["", "", "-", "+"])
    ex = ""
    r = rng.random()
    if r < 0.5:
        e = rng.randint(-330, 310)
        ex = rng.choice(["E", "e", "D", "d", "Q", ""]) + ("+" if e >= 0 and rng.random() < 0.5 else "") + str(e)
        if ex[0] not in "EeDdQ" and not ex.startswith(("+", "-")):
            ex = "+" + ex
    f = sign + mant + ex
    w = len(f) + rng.randint(0, 3)
    f = f.rjust(w) if rng.random() < 0.5 else f.ljust(w)
    R(f, desc=rng.choice(["F", "E", "ES", "EN", "D", "G"]), d=rng.randint(0, 6),
      k=rng.choice([0, 0, 0, 1, -2, 3]), bz=rng.choice([0, 0, 1]))

# integers
for f in ["123", "   123", "-12", "+", "-", "", "1.0", "1e3", "12x", "+-1", "- 1", "1,2", "NaN",
          "9223372036854775807", "9223372036854775808", "-9223372036854775808",
          "-9223372036854775809", "99999999999999999999999", "000000000000000000000000001"]:
    I(f.ljust(max(len(f), 6)))
for f in ["1 2   ", " -1 2 ", "-     ", "      ", "+ 3   "]:
    I(f, bz=1)
    I(f, bz=0)
for desc, fields in [("B", ["101", "102", "-101", "1 1", "1" * 64, "1" * 65]),
                     ("O", ["777", "8", "1777777777777777777777", "2000000000000000000000"]),
                     ("Z", ["fF", "-ff", "+1", "0x1f", "FFFFFFFFFFFFFFFF", "1FFFFFFFFFFFFFFFF",
                            "-FFFFFFFFFFFFFFFF", "-8000000000000000", "g"])]:
    for f in fields:
        I(f.ljust(max(len(f), 6)), desc=desc)
        I(f.ljust(max(len(f), 6)), desc=desc, bz=1)

# logicals
for f in [".TRUE.", "t", "  F", ".f", ".false", "Tabc", "x", "", ".", "..T", " .t", "T,", "1",
          "F x", ".F.", ".T,", "t.x", ". T", "\x01T"]:
    L(f.ljust(max(len(f), 7)))

# text
for f, n in [("abcde", 3), ("abc", 5), ("abc", 3), ("    ", 4), ("ab", 0), ("  xy", 2), ("a  b", 3)]:
    A(f, n)

with open(f"{work}/in.txt", "w") as fh:
    for cls, desc, d, k, bz, field in cases:
        w = len(field)
        if cls == "R":
            edit_text = f"{desc}{w}.{d}"
        elif cls == "L" or cls == "I" or cls.startswith("A"):
            edit_text = f"{desc}{w}" if w > 0 else desc
        fmt = "(" + ("BZ," if bz else "") + (f"{k}P," if k else "") + edit_text + ")"
        fh.write(f"{cls} {fmt} {field}\n")
out = subprocess.run([f"{work}/read_fields"], stdin=open(f"{work}/in.txt"),
                     capture_output=True, text=True, check=True).stdout.split("\n")
print("# input editing read by " + subprocess.run(["gfortran", "--version"], capture_output=True,
                                                  text=True).stdout.split("\n")[0])
print("# generated by scripts/golden/edit_input.sh; do not edit")
for (cls, desc, d, k, bz, field), res in zip(cases, out):
    ios, _, value = res.partition(" ")
    print("\t".join([cls, desc, str(len(field)), str(d), str(k), str(bz), field, ios, value]))
PY
