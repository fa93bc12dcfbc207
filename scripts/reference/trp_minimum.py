#!/usr/bin/python3
"""Reference minima for the triplet test (engine/stats/mvntrp.*).

The objective is the engine's: G2 of the one-factor normal-ogive model
against the saturated model for the 8 response-pattern counts of a triplet,
the pattern probabilities summed over the engine's 40-point quadrature (its
float tables, read from engine/stats/mvn_quadrature.h), and 0 ln 0 = 0; an
expected probability of exactly 0 counts as 1/N where no subject shows the
pattern, and where one does the point is outside the search (G2 infinite:
the 1/N would make the probabilities sum to more than 1 and the "fit"
better than any true one).  Each minimum is the lowest value that BFGS with
the analytic gradient reaches from 26 starts (the four sign patterns of the
loadings at two magnitudes, six random starts, and for each item the
valley of its growing slope: its loading 0.999, with each of the four sign
patterns), so it does not depend on where the engine's search begins.

Writes (from the repository's top folder):

  tests/engine/golden/trp/minimum_reference.txt
      "JOB I J K MINIMUM" for every triplet of the jobs reversed (loadings of
      mixed signs), extreme (extreme thresholds), lognormal (a skewed
      factor) and misfit1 to misfit6 (triplets whose lowest minimum lies in
      the valley of a growing slope or another sign pattern) of
      tests/engine/jobs/trp, read from their data files.
  tests/engine/golden/trp/fit_reference.txt
      for each fit in engine_fits.txt (counts, N and the engine's final
      parameters, written by tests/engine/stats/mvntrp_test.cpp under
      ORV_UPDATE_GOLDEN=1): G2 at those parameters and the minimum.

Usage: /usr/bin/python3 scripts/reference/trp_minimum.py [minimum | fits]
(both files when neither is named).
Needs Debian's python3-scipy; the tests read the committed output and never
run Python's SciPy.
"""
import itertools
import multiprocessing
import os
import re
import sys

import numpy as np
from scipy.optimize import minimize
from scipy.special import ndtr, ndtri

GOLDEN = "tests/engine/golden/trp"
JOBS = "tests/engine/jobs/trp"
SETS = [("reversed", 6), ("extreme", 8), ("lognormal", 8)] + [("misfit%d" % k, 3) for k in range(1, 7)]

# Rows of the engine's pattern table: (item 1, item 2, item 3).
PATTERNS = np.array([[1, 1, 1], [1, 0, 1], [1, 1, 0], [1, 0, 0],
                     [0, 1, 1], [0, 0, 1], [0, 1, 0], [0, 0, 0]], dtype=float)


def float_table(header, name):
    start = next(k for k, line in enumerate(header) if name + "[" in line)
    values = [re.search(r"<double>\(([-0-9.e]+)f\)", line).group(1) for line in header[start + 1:start + 41]]
    return np.array([np.float32(v) for v in values], dtype=np.float64)


HEADER = open("engine/stats/mvn_quadrature.h").read().splitlines()
Q = float_table(HEADER, "kNodeQ")
W = float_table(HEADER, "kNodeW")


def g2_and_gradient(p, o, n):
    b, a = p[:3], p[3:]
    z = a[:, None] * Q[None, :] + b[:, None]          # 3 x 40
    p1 = ndtr(-z)
    dens = np.exp(-0.5 * z * z) / np.sqrt(2.0 * np.pi)  # d p1 / d b = -dens
    grad = np.zeros(6)
    s1 = 0.0
    for r in range(8):
        f = np.where(PATTERNS[r][:, None] == 1.0, p1, 1.0 - p1)
        df = np.where(PATTERNS[r][:, None] == 1.0, -dens, dens)
        terms = W * f[0] * f[1] * f[2]
        e = terms.sum()
        if e == 0.0:
            if o[r] > 0:
                return np.inf, np.zeros(6)
            continue
        s1 += o[r] * np.log(e)
        for i in range(3):
            others = W * np.prod(np.delete(f, i, axis=0), axis=0)
            grad[i] += o[r] / e * np.sum(others * df[i])
            grad[3 + i] += o[r] / e * np.sum(others * df[i] * Q)
    s2 = sum(v * np.log(v / n) for v in o if v > 0)
    return -2.0 * (s1 - s2), -2.0 * grad


def minimum(o, n, seed):
    o = np.asarray(o, dtype=float)
    ones = [sum(o[r] for r in range(8) if PATTERNS[r][i] == 1.0) / n for i in range(3)]
    tau = ndtri(np.clip(ones, 1e-12, 1 - 1e-12))
    starts = []
    for l in (0.3, 0.7):
        for s2, s3 in itertools.product((1.0, -1.0), repeat=2):
            lam = np.array([l, s2 * l, s3 * l])
            root = np.sqrt(1.0 - lam * lam)
            starts.append(np.concatenate([-tau / root, lam / root]))
    rng = np.random.default_rng(seed)
    for _ in range(6):
        starts.append(np.concatenate([rng.normal(0.0, 1.0, 3) - tau, rng.normal(0.0, 1.5, 3)]))
    for i in range(3):
        for s2, s3 in itertools.product((1.0, -1.0), repeat=2):
            lam = np.array([0.5, s2 * 0.5, s3 * 0.5])
            lam[i] = 0.999 * np.sign(lam[i])
            root = np.sqrt(1.0 - lam * lam)
            starts.append(np.concatenate([-tau / root, lam / root]))
    best = np.inf
    for s in starts:
        if not np.isfinite(g2_and_gradient(s, o, n)[0]):
            continue
        with np.errstate(over="ignore", divide="ignore", invalid="ignore"):
            r = minimize(g2_and_gradient, s, args=(o, n), jac=True, method="BFGS",
                         options={"gtol": 1e-9, "maxiter": 4000})
        best = min(best, r.fun, g2_and_gradient(r.x, o, n)[0])
    return best


def counts(rows, i, j, k):
    o = [0] * 8
    for row in rows:
        key = (row[i], row[j], row[k])
        o[next(r for r in range(8) if tuple(PATTERNS[r]) == key)] += 1
    return o


def main(which):
    if which in ("", "minimum"):
        write_minima()
    if which in ("", "fits"):
        write_fits()


def triplet_minimum(task):
    job, rows, t, (i, j, k) = task
    return "%s %d %d %d %.8f" % (job, i + 1, j + 1, k + 1, minimum(counts(rows, i, j, k), len(rows), t))


def write_minima():
    tasks = []
    for job, nvar in SETS:
        # The layout (F4.0,1X,nF1.0): identifier, a blank, one digit per item.
        rows = [tuple(float(c) for c in line[5:5 + nvar]) for line in open(os.path.join(JOBS, job + ".dat"))]
        tasks += [(job, rows, t, ijk) for t, ijk in enumerate(itertools.combinations(range(nvar), 3))]
    with multiprocessing.Pool(3) as pool:
        lines = pool.map(triplet_minimum, tasks)
    with open(os.path.join(GOLDEN, "minimum_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


def write_fits():
    fits = os.path.join(GOLDEN, "engine_fits.txt")
    lines = []
    for t, line in enumerate(open(fits)):
        v = [float(x) for x in line.split()]
        o, n, p = v[:8], v[8], np.array(v[9:15])
        at = g2_and_gradient(p, np.asarray(o), n)[0]
        lines.append("%.17g %.17g" % (at, min(at, minimum(o, n, 100 + t))))
    with open(os.path.join(GOLDEN, "fit_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "")
