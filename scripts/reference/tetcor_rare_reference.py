#!/usr/bin/env python3
"""Reference tetrachoric correlations of rare items and of tables whose empty
cell sits on the side of their association.

A grid of 2 x 2 tables, n = 1,000, 10,000 and 100,000, whose margins and
"both keyed" cells are small (many have N11 / N below 0.01, some an empty
cell), beside a few tables seen in practice and a few whose start value
(the engine's approximation from the odds ratio) has a probability below
0.01 while N11 / N is not.  Each table is corrected as the
engine corrects it (tetcor_strong_reference.corrected) and its two-step
estimate is the root in r of Phi2(h, k; r) = N11 / N there, found in 40-digit
arithmetic (tetcor_strong_reference.root).

Each output line: N00 N01 N10 N11 RHO with the counts as counted (before
the correction), where for items j < i
  N00  neither keyed      N01  j keyed, i not
  N10  i keyed, j not     N11  both keyed

Usage:  python3 scripts/reference/tetcor_rare_reference.py > tests/engine/golden/tetcor/rare_reference.txt
Needs mpmath; the tests read the committed output and never run it.
"""
import os
import sys

import mpmath as mp

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tetcor_strong_reference import corrected, deviate, root  # noqa: E402

mp.mp.dps = 40

# (N00, N01, N10, N11) seen in practice: rare items keyed together by a few
# subjects, and empty cells on the side of the association.
SEEN = [
    (987, 3, 3, 7),
    (79916, 84, 19084, 916),
    (9499, 1, 401, 99),
    (39, 2, 12, 0),
    (1, 27, 0, 6),
    (67, 0, 0, 33),
]
# N11 / N at or above 0.01, but the start value's probability below it.
START_BELOW = [(986, 2, 2, 10), (949, 39, 1, 11), (983, 2, 2, 13), (897, 88, 3, 12)]

SIZES = [1000, 10000, 100000]
# Proportions keyed (item i, item j) and the correlations that make the grid.
MARGINS = [(0.005, 0.005), (0.01, 0.03), (0.02, 0.3), (0.05, 0.05), (0.003, 0.6), (0.08, 0.12)]
RHOS = [-0.5, 0.2, 0.6, 0.9]


def phi2(h, k, r):
    """Plackett's identity, as in tetcor_strong_reference.root."""
    f = lambda t: mp.exp(-(h * h + k * k - 2 * mp.sin(t) * h * k) / (2 * mp.cos(t) ** 2)) / (2 * mp.pi)
    return mp.ncdf(h) * mp.ncdf(k) + mp.quad(f, [0, mp.asin(r)])


def grid():
    for n in SIZES:
        for pi, pj in MARGINS:
            ki, kj = round(pi * n), round(pj * n)
            for rho in RHOS:
                p11 = phi2(deviate(mp.mpf(ki) / n), deviate(mp.mpf(kj) / n), mp.mpf(rho))
                n11 = max(0, min(ki, kj, int(mp.nint(p11 * n))))
                yield (n - ki - kj + n11, kj - n11, ki - n11, n11)


def main():
    print("# N00 N01 N10 N11 RHO: counts as counted; root of Phi2(h, k; r) = N11 / N of the corrected table")
    seen = set()
    for table in SEEN + START_BELOW + list(grid()):
        if table in seen:
            continue
        seen.add(table)
        print(" ".join(str(c) for c in table), mp.nstr(root(corrected(table)), 15))


if __name__ == "__main__":
    main()
