#!/usr/bin/env python3
"""Writes tests/numlib/golden/normal_reference.txt: high-precision values of
the normal distribution function, its inverse, erfc and the inverse of erfc
at fixed and pseudo-random points, computed with mpmath in 50 digits.

Each data line is  NAME  ARGUMENT  VALUE : NAME one of DNORDF, DNORIN, DERFC,
DERFCE (exp(x^2) erfc(x)), DERFCI; ARGUMENT the double argument in shortest round-trip form (so the test
reads back exactly the double the value belongs to); VALUE the exact function
value at that double, to 25 significant digits.

Usage:  python3 scripts/reference/normal_reference.py [output file]
"""

import random
import sys
from pathlib import Path

import mpmath as mp

mp.mp.dps = 50


def phi(x):
    return mp.ncdf(mp.mpf(x))


def phi_inverse(p):
    """z with Phi(z) = p, p an mpf in (0, 1), by Newton steps on log Phi for
    the lower half and by symmetry for the upper half."""
    if p > mp.mpf(1) / 2:
        return -phi_inverse(1 - p)
    if p == mp.mpf(1) / 2:
        return mp.mpf(0)
    # Start from the tail asymptotics, which are close enough for Newton.
    t = mp.sqrt(-2 * mp.log(p))
    z = -(t - (mp.mpf("2.515517") + mp.mpf("0.802853") * t + mp.mpf("0.010328") * t**2) /
          (1 + mp.mpf("1.432788") * t + mp.mpf("0.189269") * t**2 + mp.mpf("0.001308") * t**3))
    target = mp.log(p)
    for _ in range(200):
        step = (mp.log(mp.ncdf(z)) - target) * mp.ncdf(z) / mp.npdf(z)
        z -= step
        if abs(step) < mp.mpf(10) ** -45 * max(1, abs(z)):
            break
    else:
        raise RuntimeError(f"no convergence for p = {p}")
    assert abs(mp.log(mp.ncdf(z)) - target) < mp.mpf(10) ** -40
    return z


def erfc_inverse(x):
    """z with erfc(z) = x: erfc(z) = 2 Phi(-z sqrt 2)."""
    return -phi_inverse(mp.mpf(x) / 2) / mp.sqrt(2)


def scaled_erfc(x):
    """exp(x^2) erfc(x); for large x by its asymptotic series, whose terms
    (2n-1)!! / (2x^2)^n fall below 1e-60 at once there."""
    x = mp.mpf(x)
    if x < 1e4:
        return mp.exp(x * x) * mp.erfc(x)
    total, term, n = mp.mpf(0), mp.mpf(1), 0
    while abs(term) > mp.mpf(10) ** -60:
        total += term
        n += 1
        term *= -(2 * n - 1) / (2 * x * x)
    return total / (x * mp.sqrt(mp.pi))


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parents[2] / "tests" / "numlib" / "golden" / "normal_reference.txt"
    rng = random.Random(20240601)
    below_one = 1.0 - 2.0**-53

    dnordf = [-37.5, -37.0, -35.0, -30.0, -25.0, -20.0, -15.0, -10.0, -8.0, -6.0, -5.0, -4.0,
              -3.0, -2.5, -2.0, -1.5, -1.4142135623730951, -1.0, -0.75, -0.5, -0.25, -0.1,
              -1e-3, -1e-10, 0.0, 1e-10, 0.1, 0.3, 0.5, 1.0, 1.5, 2.0, 3.0, 4.0, 5.0, 6.0,
              7.0, 8.0, 8.3, 9.0, 10.0, 40.0]
    dnordf += [rng.uniform(-38.0, 9.0) for _ in range(150)]
    dnordf += [rng.uniform(-3.0, 3.0) for _ in range(100)]

    dnorin = [5e-324, 1e-310, 1e-300, 1e-200, 1e-100, 1e-50, 1e-20, 1e-10, 1e-5, 1e-3, 0.01,
              0.025, 0.1, 0.2, 0.3, 0.4, 0.49, 0.5, 0.51, 0.6, 0.75, 0.9, 0.975, 0.99, 0.999,
              1.0 - 1e-10, 1.0 - 2.0**-50, 1.0 - 4 * 2.0**-53, below_one]
    dnorin += [rng.random() for _ in range(100)]
    dnorin += [10.0 ** -rng.uniform(0.3, 307.0) for _ in range(60)]
    dnorin += [1.0 - 10.0 ** -rng.uniform(0.3, 15.0) for _ in range(40)]

    derfc = [-6.5, -6.0, -5.0, -3.0, -2.0, -1.5, -1.0, -0.5, -1e-9, 0.0, 1e-9, 0.25, 0.5,
             0.999, 1.0, 1.001, 1.5, 1.999, 2.0, 2.001, 3.0, 5.0, 10.0, 15.0, 20.0, 25.0,
             26.0, 26.5]
    derfc += [rng.uniform(-6.0, 26.5) for _ in range(150)]
    derfc += [rng.uniform(-2.5, 2.5) for _ in range(100)]

    derfce = [-26.6, -20.0, -6.5, -6.0, -3.0, -1.0, -0.5, -1e-9, 0.0, 1e-9, 0.5, 1.0, 1.5,
              2.0, 2.5, 5.0, 10.0, 30.0, 100.0, 1e5, 1e10, 1e100, 1e200]
    derfce += [rng.uniform(-26.0, 30.0) for _ in range(100)]

    derfci = [1e-300, 1e-100, 1e-10, 0.01, 0.1, 0.2, 0.25, 0.2500000000000001, 0.26, 0.5, 1.0,
              1.5, 1.7499999999999998, 1.75, 1.76, 1.8, 1.9, 1.99, 2.0 - 1e-10, 2.0 - 2.0**-52]
    derfci += [rng.uniform(0.0, 2.0) for _ in range(150)]
    derfci += [10.0 ** -rng.uniform(0.0, 300.0) for _ in range(40)]

    lines = [
        "# Reference values of the normal distribution and the error-function family,",
        "# written by scripts/reference/normal_reference.py (mpmath, 50 digits); do not edit.",
        "# NAME  ARGUMENT  VALUE",
    ]
    for x in dnordf:
        lines.append(f"DNORDF {x!r} {mp.nstr(phi(x), 25)}")
    for p in dnorin:
        lines.append(f"DNORIN {p!r} {mp.nstr(phi_inverse(mp.mpf(p)), 25)}")
    for x in derfc:
        lines.append(f"DERFC {x!r} {mp.nstr(mp.erfc(mp.mpf(x)), 25)}")
    for x in derfce:
        lines.append(f"DERFCE {x!r} {mp.nstr(scaled_erfc(x), 25)}")
    for x in derfci:
        lines.append(f"DERFCI {x!r} {mp.nstr(erfc_inverse(x), 25)}")
    out.write_text("\n".join(lines) + "\n")
    print(f"wrote {out} ({len(lines) - 3} values)")


if __name__ == "__main__":
    main()
