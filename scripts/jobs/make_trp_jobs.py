#!/usr/bin/env python3
"""Writes the TRP (triplet test) jobs of tests/engine/jobs/trp: data sets and
one command file per case.

  probit.dat   1000 subjects, 10 items of one normal factor with normal
               errors (probit items): the model the test assumes.
  skewed.dat   1000 subjects, 10 items of one strongly skewed factor (an
               exponential deviate) with small errors: the items' joint
               tables are not those of any normal factor.
  small.dat    150 subjects, 6 items; item 6 is rare, so some triplets have
               unobserved patterns.
  positive.dat 3000 subjects, 6 probit items with loadings 0.5 to 0.8.
  reversed.dat the same subjects with items 2, 4 and 6 reverse-keyed (each
               answer 1 - x): probit items with loadings 0.7, -0.6, 0.8,
               -0.5, 0.6, -0.7, the same model as positive.dat mirrored.
  extreme.dat  3000 subjects, 8 probit items with thresholds of 1.2 to 2.5 in
               magnitude, so that many triplets have patterns of a few
               subjects or none.
  lognormal.dat 3000 subjects, 8 items of a log-normal factor with
               loadings 0.75 to 0.9: non-normal in most triplets.
  misfit1.dat .. misfit6.dat  three items each, with the pattern counts of
               triplets that do not fit one normal factor, whose lowest
               minimum lies in the valley of a growing slope or in another
               sign pattern than the start's (misfit1: real personality
               items, n = 2,897).
  bad_code.dat, no_var0.dat, no_var1.dat: small.dat with one response 2,
               with item 3 all 0, with item 4 all 1.

The command files name their inputs as ../jobs/<file>, as the CMT jobs do
(scripts/jobs/make_cmt_jobs.py): the test copies this folder to <tmp>/jobs and
runs the engine from <tmp>/work.

Usage: scripts/jobs/make_trp_jobs.py [output folder]
"""
import math
import os

from job_data import Generator, head, output_folder, writer

OUT = output_folder("trp")

write = writer(OUT)

THRESHOLDS = [-0.8, -0.5, -0.3, -0.1, 0.0, 0.15, 0.3, 0.5, 0.7, 0.9]
LOADINGS = [0.75, 0.7, 0.65, 0.6, 0.7, 0.55, 0.65, 0.6, 0.7, 0.5]


def rows_text(rows):
    return "".join("%4d %s\n" % (s + 1, "".join(str(v) for v in row)) for s, row in enumerate(rows))


def probit_items(seed, n, loadings=LOADINGS, thresholds=THRESHOLDS):
    g = Generator(seed)
    rows = []
    for _ in range(n):
        f = g.normal()
        rows.append([1 if l * f + math.sqrt(1 - l * l) * g.normal() > t else 0
                     for l, t in zip(loadings, thresholds)])
    return rows


REVERSED_LOADINGS = [0.7, -0.6, 0.8, -0.5, 0.6, -0.7]
REVERSED_THRESHOLDS = [-0.4, 0.3, 0.0, -0.6, 0.5, 0.2]
EXTREME_LOADINGS = [0.8, 0.7, 0.85, 0.6, 0.75, 0.9, 0.65, 0.8]
EXTREME_THRESHOLDS = [2.2, -2.0, 1.8, 2.5, -1.5, 2.0, -2.4, 1.2]
# Pattern counts in the order (1,1,1), (1,0,1), (1,1,0), (1,0,0), (0,1,1),
# (0,0,1), (0,1,0), (0,0,0) of items 1, 2, 3.
MISFIT_COUNTS = [
    [320, 623, 75, 277, 552, 423, 226, 401],
    [222, 20, 984, 69, 291, 36, 1072, 203],
    [456, 150, 431, 468, 474, 457, 121, 443],
    [0, 0, 3, 2, 8, 2, 245, 240],
    [32, 498, 28, 451, 352, 125, 397, 117],
    [32, 0, 4, 0, 1148, 5, 796, 15],
]
MISFIT_PATTERNS = [[1, 1, 1], [1, 0, 1], [1, 1, 0], [1, 0, 0], [0, 1, 1], [0, 0, 1], [0, 1, 0], [0, 0, 0]]


def pattern_rows(counts):
    """Subjects with the given pattern counts, the patterns taken in turn
    while each has subjects left."""
    left = list(counts)
    rows = []
    while any(left):
        for p, n in enumerate(left):
            if n:
                rows.append(MISFIT_PATTERNS[p])
                left[p] -= 1
    return rows


def skewed_items(seed, n, loadings=LOADINGS, thresholds=THRESHOLDS):
    """Factor: a log-normal deviate (exp of a normal one, standardised),
    loadings and thresholds as for the probit items unless given."""
    g = Generator(seed)
    mean = math.exp(0.5)
    sd = math.sqrt((math.e - 1.0) * math.e)
    rows = []
    for _ in range(n):
        f = (math.exp(g.normal()) - mean) / sd
        rows.append([1 if l * f + math.sqrt(1 - l * l) * g.normal() > t else 0
                     for l, t in zip(loadings, thresholds)])
    return rows


def small_items():
    g = Generator(20263)
    cuts = [-0.6, -0.2, 0.0, 0.3, 0.7]
    rows = []
    for _ in range(150):
        f = g.normal()
        row = [1 if 0.7 * f + 0.71 * g.normal() > t else 0 for t in cuts]
        row.append(1 if row[0] == 1 and f > 1.4 else 0)
        rows.append(row)
    return rows


def command_file(name, title, data, nvar, nsubj, metric="DI", dattyp="RAW", smoopt="NS", verbos="SHORT",
                 labopt="NOLABELS", codes="1 MVN", output="T", nfac=1, labels=None):
    fmt = "(F4.0,1X,%dF1.0)" % nvar
    lines = [
        head(name, "make_trp_jobs.py"),
        ">TITLE: " + title,
        ">DATA: ../jobs/%s %d %d" % (data, nvar, nsubj),
        ">OUTFILE: %s.out %s" % (name, verbos),
        ">METRIC: %s %s %s" % (metric, dattyp, smoopt),
        ">MODEL: TRP %d %s NOSORT" % (nfac, labopt),
        ">ROTATE: NONE",
        ">SCORE: NONE",
        ">PLOT: NONE",
        ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 130 %s" % output,
    ]
    if output == "T":
        lines.append(">OUTPUT: " + codes)
    lines.append(">FORMAT: " + fmt)
    if labopt == "LABELS":
        lines.append(">LABELS: " + labels)
    return "\n".join(lines) + "\n"


def main():
    os.makedirs(OUT, exist_ok=True)
    small = small_items()
    write("probit.dat", rows_text(probit_items(20271, 1000)))
    write("skewed.dat", rows_text(skewed_items(20272, 1000)))
    write("small.dat", rows_text(small))
    positive = probit_items(20281, 3000, [abs(l) for l in REVERSED_LOADINGS], REVERSED_THRESHOLDS)
    write("positive.dat", rows_text(positive))
    write("reversed.dat", rows_text([[1 - x if l < 0 else x for x, l in zip(row, REVERSED_LOADINGS)]
                                     for row in positive]))
    write("extreme.dat", rows_text(probit_items(20282, 3000, EXTREME_LOADINGS, EXTREME_THRESHOLDS)))
    write("lognormal.dat", rows_text(skewed_items(20283, 3000, [0.85, 0.8, 0.9, 0.75, 0.85, 0.8, 0.9, 0.75],
                                                  [-0.8, -0.4, -0.1, 0.0, 0.2, 0.4, 0.6, 0.9])))
    for k, counts in enumerate(MISFIT_COUNTS, 1):
        write("misfit%d.dat" % k, rows_text(pattern_rows(counts)))
    bad = [list(r) for r in small]
    bad[41][2] = 2
    write("bad_code.dat", rows_text(bad))
    write("no_var0.dat", rows_text([r[:2] + [0] + r[3:] for r in small]))
    write("no_var1.dat", rows_text([r[:3] + [1] + r[4:] for r in small]))
    write("items.cor", "".join(" ".join("%6.3f" % (1.0 if i == j else 0.4) for j in range(6)) + "\n"
                               for i in range(6)))

    jobs = {
        "probit": command_file("probit", "Ten probit items", "probit.dat", 10, 1000),
        "skewed": command_file("skewed", "Ten items of a skewed factor", "skewed.dat", 10, 1000),
        # LONG with labels, smoothed tetrachoric correlations, MVN among
        # other codes; NFAC 0 does not end a TRP job early.
        "small": command_file("small", "Six items, one of them rare", "small.dat", 6, 150, smoopt="SM",
                              verbos="LONG", labopt="LABELS", codes="3 COR MVN EIG", nfac=0,
                              labels="one two three four five 'rare six'"),
        "small_nomvn": command_file("small_nomvn", "No .mvn asked for", "small.dat", 6, 150, codes="1 COR"),
        "small_output_f": command_file("small_output_f", "OUTPUT F", "small.dat", 6, 150, output="F"),
        "positive": command_file("positive", "Six probit items", "positive.dat", 6, 3000),
        "reversed": command_file("reversed", "Six probit items, three reverse-keyed", "reversed.dat", 6, 3000),
        # The .cor file gives the correlations the fits start from.
        "extreme": command_file("extreme", "Eight probit items with extreme thresholds", "extreme.dat", 8, 3000,
                                codes="2 MVN COR"),
        "lognormal": command_file("lognormal", "Eight items of a log-normal factor", "lognormal.dat", 8, 3000),
        **{"misfit%d" % k: command_file("misfit%d" % k, "Three items that fit no normal factor",
                                         "misfit%d.dat" % k, 3, sum(c))
           for k, c in enumerate(MISFIT_COUNTS, 1)},
        "three": command_file("three", "Three items of a skewed factor", "skewed.dat", 3, 1000),
        "trp_cor": command_file("trp_cor", "A correlation matrix", "items.cor", 6, 150, dattyp="COR"),
        "trp_fld1": command_file("trp_fld1", "A loading matrix", "items.cor", 6, 150, dattyp="FLD1"),
        "trp_two": command_file("trp_two", "Two items", "small.dat", 2, 150),
        # The data checks come before the correlations, whatever the metric.
        "bad_code": command_file("bad_code", "A response 2", "bad_code.dat", 6, 150),
        "bad_code_co": command_file("bad_code_co", "A response 2", "bad_code.dat", 6, 150, metric="CO"),
        "no_var0": command_file("no_var0", "Item 3 all 0", "no_var0.dat", 6, 150),
        "no_var1": command_file("no_var1", "Item 4 all 1", "no_var1.dat", 6, 150),
        # Most answers of item 1 are 1, its median: the split makes it all 0.
        "split_cd": command_file("split_cd", "Median split, item 1 all 0", "small.dat", 6, 150, metric="CD"),
    }
    for name, text in jobs.items():
        write(name + ".in", text)


if __name__ == "__main__":
    main()
