#!/usr/bin/env python3
"""Writes the example job: example.in and example.dat in this folder.

Twelve items on a seven-point scale answered by 300 simulated subjects; items
1-6 load on one factor and items 7-12 on a second, the two factors
correlating 0.3.  A small linear congruential generator with Box-Muller
deviates keeps the data identical on every machine and Python version.
"""
import math
import os

NSUBJ, NVAR = 300, 12
HERE = os.path.dirname(os.path.abspath(__file__))


class Generator:
    def __init__(self, seed):
        self.state = seed

    def uniform(self):
        # 64-bit LCG (Knuth's MMIX constants); the top 53 bits as a fraction.
        self.state = (6364136223846793005 * self.state + 1442695040888963407) % 2**64
        return ((self.state >> 11) + 0.5) / 2**53

    def normal(self):
        u1, u2 = self.uniform(), self.uniform()
        return math.sqrt(-2.0 * math.log(u1)) * math.cos(2.0 * math.pi * u2)


def main():
    gen = Generator(20261209)
    loadings = [0.75, 0.70, 0.65, 0.60, 0.55, 0.50]
    rows = []
    for subject in range(1, NSUBJ + 1):
        f1 = gen.normal()
        f2 = 0.3 * f1 + math.sqrt(1 - 0.09) * gen.normal()
        scores = []
        for j in range(NVAR):
            a = loadings[j % 6]
            f = f1 if j < 6 else f2
            x = a * f + math.sqrt(1 - a * a) * gen.normal()
            scores.append(min(7, max(1, round(4 + 1.5 * x))))
        rows.append("%4d" % subject + "".join("%3d" % s for s in scores))
    with open(os.path.join(HERE, "example.dat"), "w") as f:
        f.write("\n".join(rows) + "\n")

    job = [
        "* Example job: twelve continuous items, two correlated factors",
        ">TITLE: Example - twelve items, two factors",
        ">DATA: example.dat %d %d" % (NVAR, NSUBJ),
        ">OUTFILE: example.out LONG",
        ">METRIC: CO RAW NOSMOOTH",
        ">MODEL: PFA 2 NOLABELS NOSORT",
        ">ROTATE: VARIMAX",
        ">SCORE: NONE",
        ">PLOT: LOADINGS",
        ">TECHNICAL: .0001 200 .0001 200 T .2 SMC 120 F",
        ">FORMAT: (F4.0,12F3.0)",
    ]
    with open(os.path.join(HERE, "example.in"), "w") as f:
        f.write("\n".join(job) + "\n")


if __name__ == "__main__":
    main()
