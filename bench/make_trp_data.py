#!/usr/bin/env python3
"""Writes the data and command file of the triplet-test benchmark into a
folder (bench/trp_ratio.sh makes a temporary one):

  trp.dat / trp.in   60 dichotomous items x 5,000 subjects, model TRP.

The items are like those of a personality inventory, which fit one normal
factor in some triplets and not in others: each loads on one of three
correlated factors, with loadings of 0.35 to 0.85 in magnitude and of mixed
signs (about two in five reverse-keyed); the factor of every third item is
skewed (a standardised log-normal deviate), and the thresholds run from
-1.3 to 1.3.  The file is the same on every run.

Usage: bench/make_trp_data.py FOLDER [ITEMS [SUBJECTS]]
"""
import math
import os
import random
import sys


def main():
    folder = sys.argv[1]
    nvar = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    nsubj = int(sys.argv[3]) if len(sys.argv) > 3 else 5000
    rng = random.Random("trp-bench")
    gauss = rng.gauss
    loads = [(0.35 + 0.5 * ((v * 7) % 11) / 10.0) * (-1.0 if (v * 3) % 5 < 2 else 1.0) for v in range(nvar)]
    cuts = [-1.3 + 2.6 * ((v * 5) % 13) / 12.0 for v in range(nvar)]
    mean, sd = math.exp(0.5), math.sqrt((math.e - 1.0) * math.e)
    lines = []
    for s in range(nsubj):
        g = gauss(0.0, 1.0)
        factors = [0.55 * g + 0.835 * gauss(0.0, 1.0) for _ in range(3)]
        skewed = [(math.exp(f) - mean) / sd for f in factors]
        cells = []
        for v in range(nvar):
            f = skewed[v % 3] if v % 3 == 0 else factors[v % 3]
            l = loads[v]
            y = l * f + math.sqrt(1.0 - l * l) * gauss(0.0, 1.0)
            cells.append("1" if y > cuts[v] else "0")
        lines.append("%5d %s\n" % (s + 1, "".join(cells)))
    with open(os.path.join(folder, "trp.dat"), "w") as f:
        f.write("".join(lines))
    with open(os.path.join(folder, "trp.in"), "w") as f:
        f.write("\n".join([
            ">TITLE: Triplet test benchmark, %d mixed-sign items" % nvar,
            ">DATA: trp.dat %d %d" % (nvar, nsubj),
            ">OUTFILE: trp.out SHORT",
            ">METRIC: DI RAW NS",
            ">MODEL: TRP 1 NOLABELS NOSORT",
            ">ROTATE: NONE",
            ">SCORE: NONE",
            ">PLOT: NONE",
            ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 130 T",
            ">OUTPUT: 1 MVN",
            ">FORMAT: (F5.0,1X,%dF1.0)" % nvar,
        ]) + "\n")


if __name__ == "__main__":
    main()
