#!/usr/bin/env python3
"""Reference polychoric correlations of tables with rare categories and
near-empty corners, and of one table too large for a likelihood floor.

Each is polycor's two-step estimate: the thresholds are the normal deviates
of the cumulative margins, and r maximises the log-likelihood
sum N(a, b) ln P(a, b; r) over (-1, 1), unbounded (the engine's search
stops at +-0.9).  The cell probabilities are differences of Phi2 at the
thresholds, Phi2(h, k; r) by Plackett's identity (as in
tetcor_strong_reference), in 50-digit arithmetic; r is the root of the
score, by a bracketing solver, next to the largest likelihood on a grid.

Each output line:  ROWS COLS N(1,1) N(1,2) ... N(ROWS,COLS) RHO
  the counts row by row; rows are the categories (ascending) of the
  lower-numbered variable, columns those of the higher-numbered one.

Usage:  python3 scripts/reference/polcor_rare_reference.py > tests/engine/golden/polcor/rare_reference.txt
Needs mpmath; the tests read the committed output and never run it.
"""
import os
import sys

import mpmath as mp

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tetcor_strong_reference import density_dtheta, deviate  # noqa: E402

mp.mp.dps = 50

TABLES = [
    # 1,000 subjects, 2 x 2: both keyed 7, one of them 3 each, neither 987.
    [[987, 3], [3, 7]],
    [[9990, 5], [4, 1]],
    # 3 x 3, rare upper categories and near-empty corners.
    [[985, 8, 1], [8, 3, 1], [1, 1, 2]],
    [[970, 15, 2], [15, 5, 1], [2, 1, 1]],
    # 800,000 subjects: every likelihood lies below -999999.
    [[240000, 160000], [160000, 240000]],
]


def thresholds(margin):
    n = sum(margin)
    cum = 0
    out = [-mp.inf]
    for m in margin[:-1]:
        cum += m
        out.append(deviate(mp.mpf(cum) / n))
    return out + [mp.inf]


def phi2(h, k, r):
    if h == -mp.inf or k == -mp.inf:
        return mp.mpf(0)
    if h == mp.inf:
        return mp.ncdf(k)
    if k == mp.inf:
        return mp.ncdf(h)
    return mp.ncdf(h) * mp.ncdf(k) + mp.quad(lambda t: density_dtheta(h, k, t), [0, mp.asin(r)])


def density(h, k, r):
    if mp.isinf(h) or mp.isinf(k):
        return mp.mpf(0)
    return mp.exp(-(h * h + k * k - 2 * r * h * k) / (2 * (1 - r * r))) / (2 * mp.pi * mp.sqrt(1 - r * r))


def cells(f, tr, tc, r):
    """f over the corners of every cell, combined as a cell probability."""
    g = [[f(h, k, r) for k in tc] for h in tr]
    return [[g[a][b] - g[a - 1][b] - g[a][b - 1] + g[a - 1][b - 1] for b in range(1, len(tc))]
            for a in range(1, len(tr))]


def loglik(table, tr, tc, r):
    p = cells(phi2, tr, tc, r)
    return mp.fsum(n * mp.log(q) for row, prow in zip(table, p) for n, q in zip(row, prow) if n)


def score(table, tr, tc, r):
    p = cells(phi2, tr, tc, r)
    d = cells(density, tr, tc, r)
    return mp.fsum(n * dq / q for row, prow, drow in zip(table, p, d) for n, q, dq in zip(row, prow, drow) if n)


def estimate(table):
    """The largest likelihood on a grid of step 0.05, then the root of the
    score next to it.  Grid values where an observed cell's probability
    vanishes in this precision are not candidates."""
    tr = thresholds([sum(row) for row in table])
    tc = thresholds([sum(col) for col in zip(*table)])
    grid = []
    for k in range(-19, 20):
        r = mp.mpf(k) / 20
        p = cells(phi2, tr, tc, r)
        if all(q > 0 for row, prow in zip(table, p) for n, q in zip(row, prow) if n):
            grid.append((loglik(table, tr, tc, r), r))
    start = max(grid)[1]
    lo, hi = start - mp.mpf(1) / 20, min(start + mp.mpf(1) / 20, 1 - mp.mpf(10) ** -4)
    assert score(table, tr, tc, lo) > 0 > score(table, tr, tc, hi), table
    rho = mp.findroot(lambda r: score(table, tr, tc, r), (lo, hi), solver="anderson")
    assert lo < rho < hi, table
    return rho


def main():
    print("# ROWS COLS counts (row by row) RHO: two-step estimate, thresholds from the margins, r in (-1, 1)")
    for table in TABLES:
        counts = " ".join(str(n) for row in table for n in row)
        print(len(table), len(table[0]), counts, mp.nstr(estimate(table), 15))


if __name__ == "__main__":
    main()
