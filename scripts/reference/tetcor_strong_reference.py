#!/usr/bin/env python3
"""Reference tetrachoric correlations of strongly associated 2 x 2 tables.

These are tables where a Newton step on the bivariate normal probability can
leave (-1, 1).  With the thresholds taken from the margins, the two-step
estimate of a 2 x 2 table (the one polycor's polychor computes) reproduces
the table's cell "both keyed" exactly, so it is the root in r of

    Phi2(h, k; r) = p11,   h, k the normal deviates of the two margins,

which is found here in 40-digit arithmetic with Plackett's identity
Phi2(h, k; r) = Phi(h) Phi(k) + integral from 0 to r of phi2(h, k; s) ds,
taken over theta = asin(s), where the integrand is smooth up to r = 1.
(mvtnorm's TVPACK and polycor's search, which ends at 0.9999, both lose
digits this close to 1.)  Each table is written with half an observation
moved into its empty cells, as the engine corrects it.

Each output line: N00 N01 N10 N11 RHO, where for items j < i
  N00  neither keyed      N01  j keyed, i not
  N10  i keyed, j not     N11  both keyed

Usage:  python3 scripts/reference/tetcor_strong_reference.py > tests/engine/golden/tetcor/strong_reference.txt
Needs mpmath; the tests read the committed output and never run it.
"""
import mpmath as mp

mp.mp.dps = 40

# Tables as counted (N00, N01, N10, N11).
TABLES = [
    # 460 subjects: both items keyed by 40, only the first by 40, neither by
    # 380, only the second by none.
    (380, 40, 0, 40),
    # 45 subjects: 20 neither, 25 both.
    (20, 0, 0, 25),
]


def corrected(cells):
    """Half an observation into each empty cell, taken from its neighbours so
    that the margins stay; "neither keyed" is what the others leave.  Where
    that move of half the sample size in the association N11 N00 - N10 N01
    would reach or pass zero, the move is half the association instead."""
    n00, n01, n10, n11 = (mp.mpf(c) for c in cells)
    n = n00 + n01 + n10 + n11
    association = abs(n11 * n00 - n10 * n01)
    half = mp.mpf(1) / 2 if 2 * association > n else association / (2 * n)
    if n11 == 0:
        n11 = half
        n01, n10 = n01 - half, n10 - half
    if n10 == 0:
        n10, n11, n01 = half, n11 - half, n01 + half
    if n01 == 0:
        n01, n11, n10 = half, n11 - half, n10 + half
    n00 = n - n01 - n10 - n11
    if n00 <= 0:
        n00, n01, n10, n11 = half, n01 - half, n10 - half, n11 + half
    return n00, n01, n10, n11


def deviate(p):
    return mp.sqrt(2) * mp.erfinv(2 * p - 1)


def density_dtheta(h, k, theta):
    """The bivariate normal density at correlation s = sin(theta), times
    ds / dtheta: smooth up to r = 1, where the density itself is not."""
    s = mp.sin(theta)
    c2 = mp.cos(theta) ** 2
    return mp.exp(-(h * h + k * k - 2 * s * h * k) / (2 * c2)) / (2 * mp.pi)


def root(cells):
    """The root in (-1, 1), by bisection: Phi2 rises with r."""
    n00, n01, n10, n11 = cells
    n = n00 + n01 + n10 + n11
    h = deviate((n01 + n11) / n)
    k = deviate((n10 + n11) / n)
    base = mp.ncdf(h) * mp.ncdf(k)
    f = lambda r: base + mp.quad(lambda t: density_dtheta(h, k, t), [0, mp.asin(r)]) - n11 / n
    lo, hi = -1 + mp.mpf(10) ** -12, 1 - mp.mpf(10) ** -12
    for _ in range(140):
        mid = (lo + hi) / 2
        if f(mid) < 0:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def main():
    print("# N00 N01 N10 N11 RHO: root of Phi2(h, k; r) = N11 / N, 40-digit arithmetic")
    for table in TABLES:
        cells = corrected(table)
        print(" ".join(mp.nstr(c, 6) for c in cells), mp.nstr(root(cells), 15))


if __name__ == "__main__":
    main()
