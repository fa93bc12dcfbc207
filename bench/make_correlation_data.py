#!/usr/bin/env python3
"""Writes the data sets and CMT command files of the correlation benchmark
into a folder (bench/correlations_bench.sh makes a temporary one):

  tet.dat / tet.in   200 dichotomous items x 100,000 subjects (tetrachoric)
  pol.dat / pol.in   100 five-category items x 20,000 subjects (polychoric)
  pea.dat / pea.in   500 continuous items x 100,000 subjects (Pearson)

Every item loads on one of four correlated factors.  Chunks of subjects are
made in parallel, each from its own seed, and written in order, so the files
are the same on every run and whatever the number of cores.

Usage: bench/make_correlation_data.py FOLDER
"""
import multiprocessing
import os
import random
import sys

CHUNK = 5000


def chunk(args):
    kind, nvar, first, count = args
    rng = random.Random("%s-%d" % (kind, first))
    gauss = rng.gauss
    loads = [0.45 + 0.3 * ((v * 7) % 10) / 10.0 for v in range(nvar)]
    noise = [(1.0 - l * l) ** 0.5 for l in loads]
    lines = []
    for s in range(first, first + count):
        g = gauss(0.0, 1.0)
        factors = [0.5 * g + 0.866 * gauss(0.0, 1.0) for _ in range(4)]
        ys = [loads[v] * factors[v % 4] + noise[v] * gauss(0.0, 1.0) for v in range(nvar)]
        if kind == "tet":
            # Thresholds from -1 to 1 across the items.
            cells = "".join("1" if y > -1.0 + 2.0 * (v % 21) / 20.0 else "0" for v, y in enumerate(ys))
        elif kind == "pol":
            cells = "".join(str(1 + (y > -1.2) + (y > -0.4) + (y > 0.3) + (y > 1.1)) for y in ys)
        else:
            # Two digits and a sign-free offset: 0 .. 99 in three columns.
            cells = "".join("%3d" % min(99, max(0, int(50.0 + 15.0 * y))) for y in ys)
        lines.append("%6d%s\n" % (s, cells))
    return "".join(lines)


JOBS = {
    # name: (items, subjects, metric, format)
    "tet": (200, 100000, "DI", "(F6.0,200F1.0)"),
    "pol": (100, 20000, "OR", "(F6.0,100F1.0)"),
    "pea": (500, 100000, "CO", "(F6.0,500F3.0)"),
}


def command_file(name, nvar, nsubj, metric, fmt):
    return "\n".join([
        ">TITLE: correlation benchmark " + name,
        ">DATA: %s.dat %d %d" % (name, nvar, nsubj),
        ">OUTFILE: %s.out SHORT" % name,
        ">METRIC: %s RAW NS" % metric,
        ">MODEL: CMT 1 NOLABELS NOSORT",
        ">ROTATE: NONE",
        ">SCORE: NOSCORE",
        ">PLOT: NONE",
        ">TECHNICAL: 0.0001 200 0.00001 200 F 0.2 ONE 130 T",
        ">OUTPUT: 1 COR",
        ">FORMAT: " + fmt,
    ]) + "\n"


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    with multiprocessing.Pool() as pool:
        for name, (nvar, nsubj, metric, fmt) in JOBS.items():
            tasks = [(name, nvar, first, min(CHUNK, nsubj - first + 1)) for first in range(1, nsubj + 1, CHUNK)]
            with open(os.path.join(folder, name + ".dat"), "w") as f:
                for text in pool.imap(chunk, tasks):
                    f.write(text)
            with open(os.path.join(folder, name + ".in"), "w") as f:
                f.write(command_file(name, nvar, nsubj, metric, fmt))


if __name__ == "__main__":
    main()
