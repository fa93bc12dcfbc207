#!/usr/bin/env python3
"""Independent check of the residual histogram golden texts.

Recomputes the residual-like values of tests/numlib/routines2/dvhstp_test.cpp
in IEEE double arithmetic, counts them into the engine's 41 classes (bounds
-0.975 and 0.975 as single-precision constants widened to double), lays out
the class table and the vertical histogram from the layout rules, and
compares both with tests/numlib/golden/plots/residual_{classes,histogram}.txt.
Exits with status 1 on a difference.
"""
import math
import struct
import sys
from pathlib import Path

GOLDEN = Path(__file__).resolve().parents[2] / "tests" / "numlib" / "golden" / "plots"


def single(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def residuals():
    v = []
    for k in range(1, 297):
        z = (math.fmod(k * 0.6180339887498949, 1.0) + math.fmod(k * 0.4142135623730951, 1.0)
             + math.fmod(k * 0.7320508075688772, 1.0) + math.fmod(k * 0.14159265358979312, 1.0) - 1.9)
        v.append(0.12 * z)
    return v + [single(-0.975), 1.2, -1.3, 0.99, 0.01]


def classes(values, k, lo, hi):
    w = (hi - lo) / (k - 2)
    counts = [0] * k
    for x in values:
        if x <= lo:
            counts[0] += 1
        elif x > hi:
            counts[k - 1] += 1
        else:
            d = x - lo
            hit = [j for j in range(k - 2) if j * w < d <= (j + 1) * w]
            counts[hit[0] + 1 if hit else k - 2] += 1
    marks = [lo - w / 2] + [lo + (i - 1.5) * w for i in range(2, k)] + [hi + w / 2]
    return marks, counts


def histogram(counts, title):
    nb, isp = len(counts), 1
    wb = (isp + 1) * nb
    tw = wb + 14
    lines = ["1", " " + " " * (tw // 2 - len(title) // 2 + 1) + title, "  " + ("Frequency" + "-" * tw)[:tw]]
    fmax, fmin = float(max(counts)), float(min(counts))
    s = math.trunc(0.02 * fmax + 0.98001)
    if s == 0 or fmax - fmin <= 50:
        s = 1
    if int(fmax) % int(s):
        fmax += math.fmod(fmax, s)
    row = [" "] * (wb + 6)
    row[0] = row[-1] = "*"
    level = fmax
    while True:
        il = int(level)
        for b in range(nb):
            if counts[b] >= il:
                row[isp + 2 + b * (isp + 1)] = "I"
        lines.append("  %4d  %s" % (il, "".join(row)))
        if il <= int(fmin):
            break
        level -= s
        if level < 1.0:
            break
    lines.append("  " + "-" * tw)
    lines.append("  Class   " + "".join("%10d" % (5 * i) for i in range(1, nb // 5 + 1)))
    return "\n".join(lines) + "\n"


def main():
    marks, counts = classes(residuals(), 41, single(-0.975), single(0.975))
    table = "".join(" %3d%10.4f%7d.\n" % (i + 1, m, c) for i, (m, c) in enumerate(zip(marks, counts)))
    hist = histogram(counts, "Distribution of Residuals:  R - R^hat")
    ok = True
    for name, text in (("residual_classes.txt", table), ("residual_histogram.txt", hist)):
        same = (GOLDEN / name).read_text() == text
        print(name, "agrees" if same else "DIFFERS")
        ok = ok and same
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
