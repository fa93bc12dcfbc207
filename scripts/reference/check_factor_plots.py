#!/usr/bin/env python3
"""Independent check of the factor plot golden texts.

For tests/numlib/golden/plots/factor_{pattern,score}.txt this recomputes, in
IEEE double arithmetic, the ticks of each axis, the column and row of every
point (NINT rounding half away from zero, the tick tolerances 10 eps * step
across and 10 eps down) and checks that the plot shows the symbol in exactly
those cells of its area (the frame columns excepted), that the zero lines lie
where zero maps, and that the frame has the computed width and height.
Exits with status 1 on a difference.
"""
import math
import sys
from pathlib import Path

GOLDEN = Path(__file__).resolve().parents[2] / "tests" / "numlib" / "golden" / "plots"
EPS = 2.0 ** -52


def nint(v):
    return int(math.floor(abs(v) + 0.5)) * (1 if v >= 0 else -1)


def column(v, ticks, step, first, per, tol):
    i = next((i for i, t in enumerate(ticks) if v < t or abs(v - t) < tol), len(ticks))
    if i < len(ticks) and abs(v - ticks[i]) < tol:
        return first + i * per
    if i == 0:
        return first - nint(per * (ticks[0] - v) / step)
    return first + (i - 1) * per + nint(per * (v - ticks[i - 1]) / step)


def row(v, ticks, step, first, per):
    e = 10 * EPS
    i = next((i for i, t in enumerate(ticks) if t < v or abs(v - t) < e), len(ticks))
    if i < len(ticks) and abs(v - ticks[i]) < e:
        return first + i * per
    if i == 0:
        return first - nint(per * (v - ticks[0]) / step)
    return first + (i - 1) * per + nint(per * (ticks[i - 1] - v) / step)


def check(name, xs, ys, lo, hi, xfirst, xstep, yfirst, ystep, symbol):
    e = 10 * EPS
    xt = [xfirst]
    for _ in range(4):
        xt.append(xt[-1] + xstep)
    yt = [yfirst + 8 * ystep]
    for _ in range(8):
        yt.append(yt[-1] - ystep)
    kx = int(60 * xstep / (hi - lo))
    ky = int(42 * ystep / (hi - lo))
    d = xt[0] - lo
    c1 = nint(kx * (0.0 if d < 0 or abs(d) <= xstep * e else d) / xstep + 1)
    d = hi - yt[0]
    r1 = nint(ky * (0.0 if d < 0 or abs(d) <= e else d) / ystep + 1)
    wp = c1 + 4 * kx + nint(kx * (hi - xt[-1]) / xstep)
    hp = r1 + 8 * ky + nint(ky * (yt[-1] - lo) / ystep)
    lines = (GOLDEN / name).read_text().split("\n")
    body = [l[14:14 + wp].ljust(wp) for l in lines[4:4 + hp]]
    cells = {(row(y, yt, ystep, r1, ky), column(x, xt, xstep, c1, kx, xstep * e)) for x, y in zip(xs, ys)}
    ok = len(body) == hp and all(len(l) == wp for l in body)
    ok = ok and set(body[0]) <= set(":+" + symbol) and set(body[-1]) <= set(":+" + symbol)
    for r in range(1, hp + 1):
        for c in range(2, wp):
            ok = ok and ((body[r - 1][c - 1] == symbol) == ((r, c) in cells))
    zc = column(0.0, xt, xstep, c1, kx, e)
    zr = row(0.0, yt, ystep, r1, ky)
    ok = ok and body[1][zc - 1] in "I" + symbol and body[zr - 1][1] in "-" + symbol
    print(name, "agrees" if ok else "DIFFERS", "(%d x %d, %d cells)" % (wp, hp, len(cells)))
    return ok


def main():
    f1 = [0.72, 0.65, 0.5, 0.81, -0.25, 0.0, 0.33, 0.1, -0.62, 0.45, 0.71, 1.0]
    f2 = [0.12, 0.25, 0.5, -0.05, 0.6, 0.0, -0.4, 0.77, 0.3, 0.55, 0.13, -1.0]
    s1 = [3.4 * math.sin(k * 0.77) for k in range(1, 41)]
    s2 = [3.2 * math.cos(k * 1.31) * math.sin(k * 0.4) for k in range(1, 41)]
    ok = check("factor_pattern.txt", f1, f2, -1.0, 1.0, -1.0, 0.5, -1.0, 0.25, "X")
    ok = check("factor_score.txt", s1, s2, -3.5, 3.5, 1.5 * -2, 1.5, 0.8 * -4, 0.8, ".") and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
