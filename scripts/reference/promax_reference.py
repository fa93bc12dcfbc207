#!/usr/bin/env python3
"""Writes tests/engine/golden/promax/promax_reference.txt: the Promax pattern
and factor correlations of fixed loading matrices, computed step by step as
the engine's Promax step defines them, in 50 digits with mpmath (no numpy).

1. h(i) = sqrt(sum_j A(i, j)^2); H(i, j) = A(i, j) / h(i)  (a row of zeros
   stays zero).
2. every column of H divided by its largest absolute value.
3. target G = x^p / |x^q| with (p, q) = (3, 1), (5, 2), (5, 1), (7, 2), (7, 1)
   for the powers 2 .. 6 and (k, 0) otherwise; an exact zero stays zero.
4. L = (A'A)^-1 A'G.
5. B = (L'L)^-1; U = L diag(sqrt(B(j, j))).
6. P = A U.
7. X = U^-1; PHI = X X'.

Each case is four lines:
  CASE name NVAR NFAC POWER
  A    the loadings, column by column, in shortest round-trip form (so the
       test reads back exactly the doubles the results belong to)
  P    the pattern, column by column, 25 significant digits
  PHI  the factor correlations, column by column, 25 significant digits

Usage:  python3 scripts/reference/promax_reference.py [output file]
"""

import random
import sys
from pathlib import Path

import mpmath as mp

mp.mp.dps = 50


def exponents(k):
    return {2: (3, 1), 3: (5, 2), 4: (5, 1), 5: (7, 2), 6: (7, 1)}.get(k, (k, 0))


def promax(a, nvar, nfac, k):
    """a: list of columns (lists of mpf).  Returns (P, PHI) as mp.matrix."""
    A = mp.matrix(nvar, nfac)
    for j in range(nfac):
        for i in range(nvar):
            A[i, j] = a[j][i]
    H = mp.matrix(nvar, nfac)
    for i in range(nvar):
        h = mp.sqrt(sum(A[i, j] ** 2 for j in range(nfac)))
        for j in range(nfac):
            H[i, j] = A[i, j] / h if h != 0 else mp.mpf(0)
    for j in range(nfac):
        m = max(abs(H[i, j]) for i in range(nvar))
        assert m != 0, "a factor without loadings has no target"
        for i in range(nvar):
            H[i, j] = H[i, j] / m
    p, q = exponents(k)
    G = mp.matrix(nvar, nfac)
    for i in range(nvar):
        for j in range(nfac):
            x = H[i, j]
            den = abs(x ** q)
            G[i, j] = x ** p / den if den != 0 else mp.mpf(0)
    At = A.T
    L = mp.inverse(At * A) * (At * G)
    B = mp.inverse(L.T * L)
    D = mp.matrix(nfac, nfac)
    for j in range(nfac):
        D[j, j] = mp.sqrt(B[j, j])
    U = L * D
    P = A * U
    X = mp.matrix(nfac, nfac)
    for j in range(nfac):
        e = mp.matrix(nfac, 1)
        e[j] = 1
        x = mp.lu_solve(U, e)
        for i in range(nfac):
            X[i, j] = x[i]
    PHI = X * X.T
    return P, PHI


def simple_structure(rng, nvar, nfac, noise):
    """Loadings with one salient factor per item, rounded to 3 decimals."""
    cols = [[0.0] * nvar for _ in range(nfac)]
    for i in range(nvar):
        main = i % nfac
        for j in range(nfac):
            if j == main:
                v = rng.uniform(0.45, 0.85)
            else:
                v = rng.uniform(-noise, noise)
            cols[j][i] = round(v * (-1 if rng.random() < 0.15 else 1), 3)
    return cols


def cases():
    rng = random.Random(20240610)
    base3 = simple_structure(rng, 9, 3, 0.35)
    base2 = simple_structure(rng, 6, 2, 0.30)
    base4 = simple_structure(rng, 12, 4, 0.25)
    for k in range(1, 9):
        yield f"nine_by_three_k{k}", base3, k
    yield "six_by_two_k4", base2, 4
    yield "six_by_two_k3", base2, 3
    yield "twelve_by_four_k4", base4, 4
    yield "twelve_by_four_k7", base4, 7
    # An exact zero loading, and a variable without any loading.
    zeros = [list(c) for c in base3]
    zeros[1][0] = 0.0
    zeros[2][4] = 0.0
    for j in range(3):
        zeros[j][6] = 0.0
    for k in (2, 3, 4, 8):
        yield f"zero_loading_and_row_k{k}", zeros, k


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else (
        Path(__file__).resolve().parents[2] / "tests/engine/golden/promax/promax_reference.txt")
    lines = ["# Promax pattern and factor correlations, written by",
             "# scripts/reference/promax_reference.py (mpmath, 50 digits); do not edit."]
    for name, cols, k in cases():
        nvar, nfac = len(cols[0]), len(cols)
        P, PHI = promax([[mp.mpf(v) for v in c] for c in cols], nvar, nfac, k)
        lines.append(f"CASE {name} {nvar} {nfac} {k}")
        lines.append("A " + " ".join(repr(float(v)) for c in cols for v in c))
        lines.append("P " + " ".join(mp.nstr(P[i, j], 25) for j in range(nfac) for i in range(nvar)))
        lines.append("PHI " + " ".join(mp.nstr(PHI[i, j], 25) for j in range(nfac) for i in range(nfac)))
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
