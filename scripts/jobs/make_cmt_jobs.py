#!/usr/bin/env python3
"""Writes the CMT (correlation only) jobs of tests/engine/jobs/cmt: the data
sets, the correlation files, the guessing parameters and one command file per
case of the correlation stage.

The command files name their inputs as ../jobs/<file>: the end-to-end test
copies this folder to <tmp>/jobs and runs the engine from <tmp>/work, so the
relative names, the report (<job>.out, in the working directory) and the
matrix files (beside the command file) all stay apart.

The data come from a small integer generator and Irwin-Hall deviates (the sum
of twelve uniforms less six), so every value is computed exactly and the
files are the same on every machine and Python version.

Usage: scripts/jobs/make_cmt_jobs.py [output folder]
"""
import os

from job_data import Generator, head, output_folder, writer

OUT = output_folder("cmt")


write = writer(OUT)


def dichotomous_items():
    """120 subjects, 6 items of one factor.  Item 6 is keyed only by a few
    subjects who also keyed item 1, so the pair (6, 1) has an empty cell and
    the pairs of item 6 have small cells."""
    g = Generator(20261)
    thresholds = [-0.6, -0.2, 0.0, 0.3, 0.7]
    lines = []
    for s in range(1, 121):
        f = g.normal()
        items = [1 if 0.7 * f + 0.71 * g.normal() > t else 0 for t in thresholds]
        items.append(1 if items[0] == 1 and f > 1.2 else 0)
        lines.append("%4d %s\n" % (s, "".join(str(v) for v in items)))
    return "".join(lines)


def continuous_scores():
    """100 subjects, 15 variables on two correlated factors (items 1-8 and
    9-15), written (F4.0,15F6.2)."""
    g = Generator(20262)
    lines = []
    for s in range(1, 101):
        f1 = g.normal()
        f2 = 0.4 * f1 + 0.9 * g.normal()
        values = []
        for v in range(15):
            load = 0.5 + 0.04 * (v % 8)
            f = f1 if v < 8 else f2
            values.append(50.0 + 10.0 * (load * f + 0.8 * g.normal()))
        lines.append("%4d" % s + "".join("%6.2f" % x for x in values) + "\n")
    return "".join(lines)


def ordered_items():
    """150 subjects, 5 ordered items: items 1, 2 and 4 with four categories,
    item 3 with three; item 5 repeats item 4, so that pair ends at the
    search bound."""
    g = Generator(20263)
    cuts = [[-0.8, 0.0, 0.8], [-0.5, 0.2, 1.0], [-0.3, 0.6], [-1.0, -0.2, 0.6]]
    lines = []
    for s in range(1, 151):
        f = g.normal()
        items = []
        for c in cuts:
            y = 0.75 * f + 0.66 * g.normal()
            items.append(1 + sum(1 for t in c if y > t))
        items.append(items[3])
        lines.append("%4d %s\n" % (s, "".join(str(v) for v in items)))
    return "".join(lines)


def matrix_text(rows, sep=" ", split=None):
    """One row per record, or each row split after `split` values."""
    out = []
    for row in rows:
        cells = ["%6.3f" % v for v in row]
        if split is None:
            out.append(sep.join(cells) + "\n")
        else:
            out.append(sep.join(cells[:split]) + "\n" + sep.join(cells[split:]) + "\n")
    return "".join(out)


def correlation(n, pairs, base):
    r = [[1.0 if i == j else base for j in range(n)] for i in range(n)]
    for (i, j), v in pairs.items():
        r[i - 1][j - 1] = r[j - 1][i - 1] = v
    return r


# Correlation files.  di.cor is not positive definite (1-2 and 1-3 high, 2-3
# negative), so smoothing drops an eigenvalue; or.cor is written with each row
# over two lines, co.cor with commas.
DI_COR = correlation(6, {(1, 2): 0.95, (1, 3): 0.95, (2, 3): -0.2, (4, 6): 0.62}, 0.45)
OR_COR = correlation(5, {(1, 2): 0.71, (3, 5): 0.18, (4, 5): 0.88}, 0.52)
CO_COR = correlation(6, {(1, 2): 0.64, (2, 3): 0.58, (5, 6): 0.33}, 0.41)

DATA = {
    "items.dat": (6, 120, "(F4.0,1X,6F1.0)"),
    "scores.dat": (15, 100, "(F4.0,15F6.2)"),
    "ordered.dat": (5, 150, "(F4.0,1X,5F1.0)"),
    "di.cor": (6, 0, ""),
    "or.cor": (5, 0, ""),
    "co.cor": (6, 0, ""),
}

LABELS = {
    6: ">LABELS: 'item one' item2 item3 item4 'item five' rare_item_six",
    5: ">LABELS: ord1 ord2 ord3 'ord 4' ord4_again",
    15: ">LABELS: " + " ".join("score%02d" % v for v in range(1, 15)) + " 'last score, 15'",
}

# name: (title, data file, metric, type, smoothing, output codes or None, extra)
CASES = {
    "raw_cd": ("Median split of fifteen scores", "scores.dat", "CD", "RAW", "SM", "2 COR SMO"),
    # The smoothed file's code stands in the eighth slot: not written.
    "raw_di": ("Six dichotomous items", "items.dat", "DI", "RAW", "SM", "8 COR EIG RSD MVN FSC PHI FAC SMO"),
    "raw_dc": ("Six items corrected for guessing", "items.dat", "DC", "RAW", "NS", "2 COR SMO"),
    "raw_or": ("Five ordered items", "ordered.dat", "OR", "RAW", "SM", "2 SMO COR"),
    # Raw continuous and ipsatized data are never smoothed.
    "raw_co": ("Fifteen continuous scores", "scores.dat", "CO", "RAW", "SM", "2 COR SMO"),
    "raw_ip": ("Fifteen ipsatized scores", "scores.dat", "IP", "RAW", "SM", "2 COR SMO"),
    "cor_di": ("Tetrachoric matrix read", "di.cor", "DI", "COR", "SM", "2 COR SMO"),
    # PS is reported as smoothed but never smooths.
    "cor_or": ("Polychoric matrix read", "or.cor", "OR", "COR", "PS", "2 COR SMO"),
    # Smoothed, but no .smo file for this case.
    "cor_co": ("Pearson matrix read", "co.cor", "CO", "COR", "SM", "2 COR SMO"),
    "cor_dc": ("Guessing metric on a matrix", "di.cor", "DC", "COR", "NS", "2 COR SMO"),
    "cor_cd": ("Median split on a matrix", "di.cor", "CD", "COR", "SM", "2 COR SMO"),
    "cor_ip": ("Ipsatizing a matrix", "co.cor", "IP", "COR", "NS", "2 COR SMO"),
}

VARIANTS = {"short": ("SHORT", "NOLABELS"), "long": ("LONG", "LABELS"), "nolab": ("LONG", "NOLABELS")}


def command_file(name, title, data, metric, dattyp, smoopt, codes, verbos, labopt, width=130, output="T"):
    nvar, nsubj, fmt = DATA[data]
    if dattyp != "RAW":
        nsubj = 200
        fmt = "(F4.0,1X,%dF1.0)" % nvar
    lines = [
        head(name, "make_cmt_jobs.py"),
        ">TITLE: " + title,
        ">DATA: ../jobs/%s %d %d" % (data, nvar, nsubj),
        ">OUTFILE: %s.out %s" % (name, verbos),
        ">METRIC: %s %s %s" % (metric, dattyp, smoopt),
    ]
    if metric == "DC":
        lines.append(">CPARAM: ../jobs/guess.cpr")
    lines += [
        ">MODEL: CMT 2 %s NOSORT" % labopt,
        ">ROTATE: NONE",
        ">SCORE: NOSCORE",
        ">PLOT: NONE",
        ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE %d %s" % (width, output),
    ]
    if output == "T":
        lines.append(">OUTPUT: " + codes)
    lines.append(">FORMAT: " + fmt)
    if labopt == "LABELS":
        lines.append(LABELS[nvar])
    return "\n".join(lines) + "\n"


def main():
    os.makedirs(OUT, exist_ok=True)
    write("items.dat", dichotomous_items())
    write("scores.dat", continuous_scores())
    write("ordered.dat", ordered_items())
    write("di.cor", matrix_text(DI_COR))
    write("or.cor", matrix_text(OR_COR, split=3))
    write("co.cor", matrix_text(CO_COR, sep=","))
    # Guessing parameters, laid out freely over three lines.
    write("guess.cpr", "0.10 0.05\n0.20 0.15 0.10\n0.00\n")

    for case, (title, data, metric, dattyp, smoopt, codes) in CASES.items():
        for variant, (verbos, labopt) in VARIANTS.items():
            name = "%s_%s" % (case, variant)
            write(name + ".in", command_file(name, title, data, metric, dattyp, smoopt, codes, verbos, labopt))
    # Page width 119 against the default 130 of raw_co_nolab.
    write("width119.in", command_file("width119", "Fifteen continuous scores", "scores.dat", "CO", "RAW", "SM",
                                      "2 COR SMO", "LONG", "NOLABELS", width=119))
    # OUTPUT F: no matrix file; the tetrachoric side files are still written.
    write("output_f.in", command_file("output_f", "Six dichotomous items", "items.dat", "DI", "RAW", "SM", None,
                                      "LONG", "NOLABELS", output="F"))
    # A loading matrix is the input of model ROT only: stops with its message.
    write("fld1_cmt.in", command_file("fld1_cmt", "Loadings given to a CMT job", "co.cor", "CO", "FLD1", "NS",
                                      "2 COR SMO", "SHORT", "NOLABELS"))


if __name__ == "__main__":
    main()
