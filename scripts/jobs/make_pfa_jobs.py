#!/usr/bin/env python3
"""Writes the extraction jobs of tests/engine/jobs/pfa: a small data set of
six continuous scores on two factors and four command files, PFA and PCA,
each with a SHORT and a LONG report, ROTATE NONE and SCORE NONE, every matrix
file asked for; and a correlation matrix whose one-factor principal axes
give a Heywood case.

The command files name their data as ../jobs/<file>: the end-to-end test
copies this folder to <tmp>/jobs and runs the engine from <tmp>/work, so the
report (in the working directory) and the matrix files (beside the command
file) stay apart.

The data come from a small integer generator and Irwin-Hall deviates (the sum
of twelve uniforms less six), so every value is computed exactly and the
file is the same on every machine and Python version.

Usage: scripts/jobs/make_pfa_jobs.py [output folder]
"""
import os

from job_data import Generator, head, output_folder, writer

OUT = output_folder("pfa")


write = writer(OUT)


def scores():
    """90 subjects, 6 scores: 1-3 on the first factor, 4-6 on a second that
    correlates with it, written (F4.0,6F7.2)."""
    g = Generator(20291)
    loads = [(0.8, 0.0), (0.7, 0.1), (0.6, 0.0), (0.1, 0.7), (0.0, 0.6), (0.0, 0.5)]
    lines = []
    for s in range(1, 91):
        f1 = g.normal()
        f2 = 0.3 * f1 + 0.95 * g.normal()
        values = [20.0 + 5.0 * (a * f1 + b * f2 + 0.6 * g.normal()) for a, b in loads]
        lines.append("%4d" % s + "".join("%7.2f" % x for x in values) + "\n")
    return "".join(lines)


# name: (model, factors, report length, labels option, INIT_COM, PAGEWIDTH)
CASES = {
    "pfa_short": ("PFA", 2, "SHORT", "NOLABELS", "SMC", 100),
    "pfa_long": ("PFA", 2, "LONG", "LABELS", "SMC", 130),
    "pca_short": ("PCA", 2, "SHORT", "NOLABELS", "ONE", 100),
    "pca_long": ("PCA", 2, "LONG", "LABELS", "ONE", 130),
}

# Variable 1 correlates .8 with 2 and 3, which correlate .6: one factor needs
# a communality of about .8 * .8 / .6 for it.
HEYWOOD = [
    [1.0, 0.8, 0.8, 0.1, 0.1],
    [0.8, 1.0, 0.6, 0.1, 0.1],
    [0.8, 0.6, 1.0, 0.1, 0.1],
    [0.1, 0.1, 0.1, 1.0, 0.2],
    [0.1, 0.1, 0.1, 0.2, 1.0],
]

TITLES = {"PFA": "Six scores, principal axes", "PCA": "Six scores, principal components"}


def main():
    os.makedirs(OUT, exist_ok=True)
    write("six.dat", scores())
    write("heywood.cor", "".join(" ".join("%4.1f" % v for v in row) + "\n" for row in HEYWOOD))
    write("pfa_heywood.in", "\n".join([
        head("pfa_heywood", "make_pfa_jobs.py"),
        ">TITLE: One factor with a Heywood case",
        ">DATA: ../jobs/heywood.cor 5 100",
        ">OUTFILE: pfa_heywood.out SHORT",
        ">METRIC: CO COR NOSMOOTH",
        ">MODEL: PFA 1 NOLABELS NOSORT",
        ">ROTATE: NONE",
        ">SCORE: NONE",
        ">PLOT: NONE",
        ">TECHNICAL: 0.0001 200 0.0001 200 F 0.2 HIR 120 T",
        ">OUTPUT: 3 COR EIG FAC",
        ">FORMAT: (5F4.1)",
    ]) + "\n")
    for name, (model, nfac, length, labels, init, width) in CASES.items():
        lines = [
            head(name, "make_pfa_jobs.py"),
            ">TITLE: %s" % TITLES[model],
            ">DATA: ../jobs/six.dat 6 90",
            ">OUTFILE: %s.out %s" % (name, length),
            ">METRIC: CO RAW NOSMOOTH",
            ">MODEL: %s %d %s NOSORT" % (model, nfac, labels),
            ">ROTATE: NONE",
            ">SCORE: NONE",
            ">PLOT: NONE",
            ">TECHNICAL: 0.0001 200 0.0001 200 F 0.2 %s %d T" % (init, width),
            ">OUTPUT: 6 COR EIG RSD FAC SMO MVN",
            ">FORMAT: (F4.0,6F7.2)",
        ]
        if labels == "LABELS":
            lines.append(">LABELS: verbal reading 'spelling test' rotation folding 'paper form board'")
        write(name + ".in", "\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
