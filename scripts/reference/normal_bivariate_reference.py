#!/usr/bin/env python3
"""Reference values for the normal deviates (G01FAF) and the bivariate normal
probability (G01HAF, with its complementary error function), computed from
their definitions with mpmath in 40 significant digits.

Writes two files (default: tests/numlib/golden/):

  g01faf_reference.txt   TAIL  P  X         X the exact deviate of P for TAIL
  g01haf_reference.txt   B  X  Y  RHO  P    P = Prob(U <= X, V <= Y), corr RHO
                         E  X  ERFC         the complementary error function

Inputs are written as the shortest decimal text that reads back as the same
double, so the tests evaluate exactly the arguments the references were
computed for.  Lines starting with '#' are comments.

The bivariate probability is taken from the angle form
  P = Phi(X) Phi(Y) + 1/(2 pi) int_0^asin(RHO)
          exp(-(X^2 - 2 X Y sin t + Y^2) / (2 cos^2 t)) dt,
whose integrand is smooth even for |RHO| near 1; a second, independent form
  P = int_-inf^X phi(t) Phi((Y - RHO t) / sqrt(1 - RHO^2)) dt
checks every twentieth value, and any disagreement stops the script.

Usage:  python3 scripts/reference/normal_bivariate_reference.py [output directory]
"""

import random
import sys
from pathlib import Path

import mpmath as mp

mp.mp.dps = 40
DIGITS = 25


def text(x):
    return repr(float(x))


def value(v):
    return mp.nstr(v, DIGITS) if v != 0 else "0"


# ---------------------------------------------------------------- deviates

def ninv(p):
    """x with Phi(x) = p, for 0 < p < 1 given exactly as an mpf."""
    if p > mp.mpf(0.5):
        return -ninv(1 - p)
    if p == mp.mpf(0.5):
        return mp.mpf(0)
    x0 = -mp.sqrt(-2 * mp.log(p)) if p < mp.mpf("1e-3") else mp.sqrt(2) * mp.erfinv(2 * p - 1)
    # Solving in the logarithm keeps the relative accuracy far in the tail.
    return mp.findroot(lambda x: mp.log(mp.ncdf(x)) - mp.log(p), x0)


def deviate(tail, p):
    p = mp.mpf(p)
    if tail == "L":
        return ninv(p)
    if tail == "U":
        return -ninv(p)
    if tail == "C":
        return -ninv((1 - p) / 2)
    if tail == "S":
        return -ninv(p / 2)
    raise ValueError(tail)


def deviate_cases():
    below = lambda x: float(mp.mpf(x) - mp.mpf(2) ** (mp.floor(mp.log(abs(x), 2)) - 52))
    above = lambda x: float(mp.mpf(x) + mp.mpf(2) ** (mp.floor(mp.log(abs(x), 2)) - 52))
    lower = [0.5, 0.5000000001, 0.4999, 0.25, 0.75, 0.9, 0.1, 0.975, 0.025, 0.99, 0.001, 0.999,
             1e-5, 1e-10, 1e-20, 1e-40, 1e-60, 1e-100, 1e-200, 1e-300, 5e-324, 1 - 2.0 ** -53]
    # Where the formula changes: |P - 0.5| = 0.3 and 0.42 exactly (P = 0.5 -
    # 0.3 and 0.5 - 0.42 are exact in binary), with their neighbours.
    edges = [0.5 - 0.3, 0.5 - 0.42, 0.5 + 0.3, 0.5 + 0.42]
    for e in edges:
        lower += [e, below(e), above(e)]
    rng = random.Random(20261209)
    lower += [rng.random() for _ in range(40)]
    cases = [("L", p) for p in lower]
    cases += [("U", p) for p in [0.5, 0.025, 0.975, 0.2, 0.8, 1e-12, 1 - 2.0 ** -53]]
    # Two-tail confidence: only probabilities whose 0.5 P + 0.5 keeps the
    # digits that matter; 1 - 2^-53 is the value that rounds to 1 there.
    cases += [("C", p) for p in [0.95, 0.99, 0.5, 0.1, 0.6, 0.84, 1 - 2.0 ** -52, 1 - 2.0 ** -53]]
    cases += [("S", p) for p in [0.05, 0.01, 1.0 - 2.0 ** -53, 0.5, 0.9, 0.16, 1e-30, 2e-300]]
    return cases


# --------------------------------------------------------------- bivariate

def bvn(x, y, rho):
    x, y, rho = mp.mpf(x), mp.mpf(y), mp.mpf(rho)
    if rho == 0:
        return mp.ncdf(x) * mp.ncdf(y)
    if rho == 1:
        return mp.ncdf(min(x, y))
    if rho == -1:
        return max(mp.mpf(0), mp.ncdf(x) - mp.ncdf(-y))
    a = mp.asin(rho)
    f = lambda t: mp.exp(-(x * x - 2 * x * y * mp.sin(t) + y * y) / (2 * mp.cos(t) ** 2))
    cuts = [0, a / 2, a * mp.mpf("0.9"), a * mp.mpf("0.99"), a * mp.mpf("0.999"), a]
    return mp.ncdf(x) * mp.ncdf(y) + mp.quad(f, cuts) / (2 * mp.pi)


def bvn_check(x, y, rho):
    x, y, rho = mp.mpf(x), mp.mpf(y), mp.mpf(rho)
    r = mp.sqrt((1 - rho) * (1 + rho))
    f = lambda t: mp.npdf(t) * mp.ncdf((y - rho * t) / r)
    # Split where the inner argument changes sign: for |RHO| near 1 the
    # integrand steps there.
    cuts = sorted(c for c in {y / rho, mp.mpf(0)} if c < x)
    return mp.quad(f, [-mp.inf] + cuts + [x])


def bivariate_cases():
    cases = []
    grid = [-8.0, -3.0, -1.5, -0.5, -0.1, 0.0, 0.1, 0.5, 1.5, 3.0, 8.0]
    rhos = [-1.0, -0.999999, -0.9, -0.5, -0.1, 0.0, 0.1, 0.5, 0.9, 0.999999, 1.0]
    for x in grid:
        for y in grid:
            for rho in rhos:
                cases.append((x, y, rho))
    # |RHO| just below 1 with the limits on (or next to) the line X = Y
    # (RHO > 0) or X = -Y (RHO < 0): the region of highly correlated items.
    near = [1 - 2.0 ** -53, 1 - 2.0 ** -52, 1 - 2.0 ** -40, 1 - 1e-8, 1 - 1e-4]
    for rho in near:
        for x in [-3.0, -1.3, -0.7, -0.2, 0.2, 0.7, 1.3, 3.0]:
            for dy in [0.0, 1e-9, 1e-6, 1e-3]:
                cases.append((x, x + dy, rho))
                cases.append((x, -x - dy, -rho))
    # Where the series term falls below the smallest normalised number:
    # the distance d = sqrt(-2 ln 2^-1022) from the corner, just inside and
    # just outside, for both signs of RHO.
    dlim = mp.sqrt(-2 * mp.log(mp.mpf(2) ** -1022))
    for rho, y in [(0.5, 0.3), (-0.5, 0.3), (0.9, -1.0), (-0.9, 2.0)]:
        r2 = 1 - mp.mpf(rho) ** 2
        # Solve (X^2 + Y^2 - 2 RHO X Y) / (1 - RHO^2) = dlim^2 for X > 0.
        b, c = -2 * rho * y, y * y - dlim ** 2 * r2
        x = (-b + mp.sqrt(b * b - 4 * c)) / 2
        for scale in ["0.999999", "0.99999999", "1.00000001", "1.000001"]:
            cases.append((float(x * mp.mpf(scale)), y, rho))
            cases.append((y, float(-x * mp.mpf(scale)), rho))
    # Tiny limits (squares underflow), one limit near 0, large limits.
    cases += [(1e-200, 1e-200, 0.5), (1e-200, 2e-200, -0.5), (3e-170, -1e-170, 0.3),
              (1e-8, 1.0, 0.5), (1e-8, -1.0, 0.5), (1e-9, 2.0, -0.3), (-1e-10, 0.7, 0.8),
              (40.0, 0.5, 0.3), (-40.0, 0.5, -0.3), (1e200, 1.0, 0.5), (0.0, 0.0, 0.5),
              (0.0, 0.0, -1.0), (0.0, 0.0, 1.0), (0.0, 0.0, 1 - 2.0 ** -53), (0.0, 1.0, 0.7)]
    rng = random.Random(1111)
    for _ in range(300):
        cases.append((rng.uniform(-6, 6), rng.uniform(-6, 6), rng.uniform(-1, 1)))
    return cases


def erfc_cases():
    xs = [-6.25, -6.2, -5.0, -3.75, -1.0, -0.3, 0.0, 1e-10, 0.3, 1.0, 2.0, 3.75, 5.0, 8.0, 15.0,
          26.0, 26.5, 26.59]
    rng = random.Random(7)
    xs += [rng.uniform(-6.2, 26.5) for _ in range(40)]
    return xs


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "tests/numlib/golden"
    out.mkdir(parents=True, exist_ok=True)

    lines = ["# Normal deviates: TAIL P X; generated by scripts/reference/normal_bivariate_reference.py"]
    for tail, p in deviate_cases():
        lines.append(f"{tail} {text(p)} {value(deviate(tail, p))}")
    (out / "g01faf_reference.txt").write_text("\n".join(lines) + "\n")

    lines = ["# Bivariate normal B X Y RHO P and erfc E X ERFC;"
             " generated by scripts/reference/normal_bivariate_reference.py"]
    for i, (x, y, rho) in enumerate(bivariate_cases()):
        p = bvn(x, y, rho)
        if i % 20 == 0 and 0 < abs(rho) < 1:
            q = bvn_check(x, y, rho)
            if abs(p - q) > mp.mpf("1e-25"):
                sys.exit(f"reference forms disagree at {x} {y} {rho}: {p} {q}")
        lines.append(f"B {text(x)} {text(y)} {text(rho)} {value(p)}")
    for x in erfc_cases():
        lines.append(f"E {text(x)} {value(mp.erfc(mp.mpf(x)))}")
    (out / "g01haf_reference.txt").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
