#!/usr/bin/env python3
"""Writes the independent reference for the factor extraction stage:

  tests/engine/jobs/extract/pa_raw.dat   raw continuous data (200 subjects,
                                         8 items, 2 factors), read by the
                                         end-to-end job with (F4.0,8F9.4)
  tests/engine/golden/extract/principal_axes_reference.txt

The reference recomputes, in 40 significant digits with mpmath, what the
engine does: the Pearson correlations of the data as written (the rounded
values), the eigenvalues of R, principal axes with iterated communalities
from each initial estimate (SMC: squared multiple correlations, HIR:
highest absolute correlation, ONE: unit diagonal) and principal components.
The iteration is the engine's: pass until |sum - previous sum| <= COMP_EPS
or MAXIT passes, the first previous sum being NVAR.  Eigenpairs come from
mpmath's symmetric eigensolver, not from the engine's libraries.

Each case in the golden file:

  CASE name MODEL INIT NVAR NFAC COMP_EPS MAXIT
  R         NVAR*NVAR values, row by row (the matrix the case starts from)
  EIGEN     the NVAR eigenvalues of R, decreasing
  PASSES    the number of passes run
  EVAL      the NFAC eigenvalues of the last pass
  LOADINGS  NVAR*NFAC values, row by row, each column signed so that the
            signed sum of its squared loadings is not negative
  COMM      the NVAR final communalities

Usage:  python3 scripts/reference/principal_axes_reference.py [repository root]
"""

import random
import sys
from pathlib import Path

import mpmath as mp

mp.mp.dps = 40

NSUBJ = 200
LAMBDA = [  # true loadings of the simulated items
    (0.80, 0.00), (0.70, 0.10), (0.60, 0.00), (0.50, 0.20),
    (0.00, 0.70), (0.10, 0.60), (0.05, 0.80), (0.00, 0.50),
]

# A small correlation matrix with a clear two-factor structure.
SMALL = [
    ["1", "0.62", "0.55", "0.12", "0.08", "0.15"],
    ["0.62", "1", "0.48", "0.20", "0.11", "0.05"],
    ["0.55", "0.48", "1", "0.09", "0.17", "0.10"],
    ["0.12", "0.20", "0.09", "1", "0.51", "0.44"],
    ["0.08", "0.11", "0.17", "0.51", "1", "0.58"],
    ["0.15", "0.05", "0.10", "0.44", "0.58", "1"],
]


def simulate():
    """Rows (id, x1..x8) as the text written to the data file."""
    rng = random.Random(20261209)
    lines, values = [], []
    for s in range(1, NSUBJ + 1):
        f = (rng.gauss(0, 1), rng.gauss(0, 1))
        row = []
        for a, b in LAMBDA:
            unique = (1 - a * a - b * b) ** 0.5
            row.append(a * f[0] + b * f[1] + unique * rng.gauss(0, 1))
        text = "%4d" % s + "".join("%9.4f" % x for x in row)
        lines.append(text)
        # The values as the engine reads them: the decimal text.
        values.append([mp.mpf(text[4 + 9 * j: 13 + 9 * j]) for j in range(len(LAMBDA))])
    return lines, values


def pearson(values):
    n, m = len(values), len(values[0])
    mean = [mp.fsum(v[j] for v in values) / n for j in range(m)]
    ssp = mp.matrix(m, m)
    for i in range(m):
        for j in range(m):
            ssp[i, j] = mp.fsum((v[i] - mean[i]) * (v[j] - mean[j]) for v in values)
    r = mp.matrix(m, m)
    for i in range(m):
        for j in range(m):
            r[i, j] = ssp[i, j] / mp.sqrt(ssp[i, i] * ssp[j, j])
    return r


def eigen_decreasing(a):
    """Eigenvalues (decreasing) and unit eigenvectors (columns) of the
    symmetric matrix a."""
    w, v = mp.eigsy(a)
    order = sorted(range(a.rows), key=lambda k: -w[k])
    return [w[k] for k in order], [[v[i, k] for k in order] for i in range(a.rows)]


def initial(r, init):
    n = r.rows
    r = r.copy()
    if init == "SMC":
        inv = mp.inverse(r)
        for i in range(n):
            r[i, i] = 1 - 1 / inv[i, i]
    elif init == "HIR":
        for i in range(n):
            r[i, i] = max(abs(r[i, j]) for j in range(n) if j != i)
    return r


def extract(r, model, init, nfac, eps, maxit):
    n = r.rows
    r = initial(r, init) if model == "PFA" else r.copy()
    delta, total, passes = mp.mpf(1), mp.mpf(n), 1
    while True:
        previous = total
        w, v = eigen_decreasing(r)
        load = [[v[i][k] * mp.sqrt(w[k]) for k in range(nfac)] for i in range(n)]
        for i in range(n):
            r[i, i] = mp.fsum(load[i][k] ** 2 for k in range(nfac))
        total = mp.fsum(r[i, i] for i in range(n))
        delta = abs(previous - total)
        assert total <= n, "the communalities diverge"
        if model == "PCA":
            delta = mp.mpf(0)
        passes += 1
        if not (delta > eps and passes <= maxit):
            break
    for k in range(nfac):
        s = mp.fsum(mp.sign(load[i][k]) * load[i][k] ** 2 for i in range(n))
        if s < 0:
            for i in range(n):
                load[i][k] = -load[i][k]
    return passes - 1, w[:nfac], load, [r[i, i] for i in range(n)]


def number(x):
    return mp.nstr(x, 25, min_fixed=-5, max_fixed=5)


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
    lines, values = simulate()
    data = root / "tests/engine/jobs/extract/pa_raw.dat"
    data.parent.mkdir(parents=True, exist_ok=True)
    data.write_text("\n".join(lines) + "\n")

    matrices = {
        "raw": pearson(values),
        "small": mp.matrix([[mp.mpf(x) for x in row] for row in SMALL]),
    }
    cases = [
        ("raw", "PFA", "SMC", 2), ("raw", "PFA", "HIR", 2), ("raw", "PFA", "ONE", 2),
        ("raw", "PCA", "ONE", 3),
        ("small", "PFA", "SMC", 2), ("small", "PFA", "HIR", 2), ("small", "PFA", "ONE", 2),
        ("small", "PCA", "SMC", 2), ("small", "PFA", "ONE", 3),
    ]
    eps, maxit = mp.mpf("1e-10"), 1000
    out = []
    for name, model, init, nfac in cases:
        r = matrices[name]
        n = r.rows
        passes, w, load, comm = extract(r, model, init, nfac, eps, maxit)
        out.append("CASE %s %s %s %d %d 1e-10 %d" % (name, model, init, n, nfac, maxit))
        out.append("R " + " ".join(number(r[i, j]) for i in range(n) for j in range(n)))
        out.append("EIGEN " + " ".join(number(x) for x in eigen_decreasing(r)[0]))
        out.append("PASSES %d" % passes)
        out.append("EVAL " + " ".join(number(x) for x in w))
        out.append("LOADINGS " + " ".join(number(load[i][k]) for i in range(n) for k in range(nfac)))
        out.append("COMM " + " ".join(number(x) for x in comm))
    golden = root / "tests/engine/golden/extract/principal_axes_reference.txt"
    golden.parent.mkdir(parents=True, exist_ok=True)
    golden.write_text("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
