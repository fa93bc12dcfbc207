#!/usr/bin/env python3
"""Writes the factor score and item listing jobs of tests/engine/jobs/scores:
a data set of ten continuous scores on three correlated factors, a small data
set with awkward subject identifiers, the item texts, a loading matrix, and
one command file per case.

The command files name their inputs as ../jobs/<file>: the end-to-end test
copies this folder to <tmp>/jobs and runs the engine from <tmp>/work, so the
report (in the working directory) and the matrix files (beside the command
file, among them the .fsc file) stay apart.

The data come from the exact generator of job_data.py, so the files are the
same on every machine and Python version.

Usage: scripts/jobs/make_score_jobs.py [output folder]
"""
import os

from job_data import Generator, head, output_folder, writer

OUT = output_folder("scores")

write = writer(OUT)

# Ten scores: 1-4 on the first factor, 5-7 on the second, 8-10 on the third;
# the factors correlate.
LOADS = [(0.8, 0.0, 0.0), (0.7, 0.1, 0.0), (0.7, 0.0, 0.0), (0.6, 0.0, 0.2),
         (0.0, 0.8, 0.0), (0.1, 0.7, 0.0), (0.0, 0.6, 0.0),
         (0.0, 0.0, 0.8), (0.0, 0.2, 0.7), (0.0, 0.0, 0.6)]


def three_factors():
    """240 subjects, written (F6.0,10F7.2), values around 50."""
    g = Generator(20318)
    lines = []
    for s in range(1, 241):
        f1 = g.normal()
        f2 = 0.4 * f1 + 0.9 * g.normal()
        f3 = 0.3 * f1 + 0.2 * f2 + 0.9 * g.normal()
        values = [50.0 + 8.0 * (a * f1 + b * f2 + c * f3 + 0.55 * g.normal()) for a, b, c in LOADS]
        lines.append("%6d" % s + "".join("%7.2f" % x for x in values) + "\n")
    return "".join(lines)


# Identifiers of the .fsc test: fractions round to the nearest whole number,
# halves away from zero; what does not fit I15 is written as asterisks.
IDS = ["17", "2.5", "-3.5", "0.49", "-0.5", "123456789012345", "999999999999999.4", "1.0E15",
       "-99999999999999", "-1.0E14", "1.0E300", "42"]


def awkward_identifiers():
    """12 subjects with the identifiers above and four scores of one factor,
    written (F22.0,4F7.2)."""
    g = Generator(20319)
    lines = []
    for ident in IDS:
        f = g.normal()
        values = [50.0 + 8.0 * (0.8 * f + 0.6 * g.normal()) for _ in range(4)]
        lines.append("%22s" % ident + "".join("%7.2f" % x for x in values) + "\n")
    return "".join(lines)


ITEMS = [
    "I often read for pleasure",
    "Words come to me easily",
    "I like crossword puzzles",
    "I write letters and stories",
    "I can turn shapes around in my mind",
    "Maps are easy for me",
    "I see how parts of a machine fit together",
    "Mental arithmetic is quick for me",
    # Longer than the 200 characters kept of an item text.
    "Numbers " + "and sums " * 30 + "END",
    "I keep my accounts in order",
]

LABELS = ">LABELS: reading words crossword writing turning maps machine sums numbers accounts"


def job(name, title, model, nfac, labopt, sort, rotate, score, plot, data="three.dat", items=True,
        metric="CO", dattyp="RAW", verbos="SHORT", fmt="(F6.0,10F7.2)", nvar=10, nsubj=240, output="1 FAC"):
    lines = [head(name, "make_score_jobs.py"),
             ">TITLE: " + title,
             ">DATA: ../jobs/%s %d %d" % (data, nvar, nsubj)]
    if items:
        lines.append(">ITEMS: ../jobs/items.txt")
    lines += [
        ">OUTFILE: %s.out %s" % (name, verbos),
        ">METRIC: %s %s NOSMOOTH" % (metric, dattyp),
        ">MODEL: %s %d %s %s" % (model, nfac, labopt, sort),
        ">ROTATE: " + rotate,
        ">SCORE: " + score,
        ">PLOT: " + plot,
        ">TECHNICAL: 0.0001 200 0.000001 500 F 0.2 SMC 120 T",
        ">OUTPUT: " + output,
        ">FORMAT: " + fmt,
    ]
    if labopt == "LABELS":
        lines.append(LABELS)
    write(name + ".in", "\n".join(lines) + "\n")


def main():
    os.makedirs(OUT, exist_ok=True)
    write("three.dat", three_factors())
    write("ids.dat", awkward_identifiers())
    write("items.txt", "".join(text + "\n" for text in ITEMS))
    # Loadings for a ROT job (10 x 3, (3F6.3)).
    write("loadings.dat", "".join("".join("%6.3f" % v for v in row) + "\n" for row in LOADS))

    # The item listing after an orthogonal and an oblique rotation, with the
    # score plots; regression and Bartlett scores.
    job("reg_vm_sort", "Regression scores after Varimax, items sorted", "PFA", 3, "LABELS", "SORT",
        "VARIMAX", "REG", "SCORES")
    job("bart_ob_sort", "Bartlett scores after Oblimin, items sorted", "PFA", 3, "NOLABELS", "SORT",
        "OBLIMIN 0.0", "BART", "ALL")
    job("reg_pm_nsrt", "Regression scores after Promax, not sorted", "PFA", 3, "NOLABELS", "NOSORT",
        "PROMAX 3", "REG", "NONE", verbos="LONG")
    job("bart_wvm_pca", "Bartlett component scores after weighted Varimax", "PCA", 3, "NOLABELS", "SORT",
        "WVARIMAX", "BART", "SCORES", items=False)
    job("bart_hk_ip", "Bartlett scores of ipsatized data after Harris-Kaiser", "PFA", 2, "NOLABELS", "SORT",
        "HK 0.5", "BART", "SCORES", metric="IP")
    # No rotation stage sorts: one factor (rotation NONE, SORT kept), and a
    # rotation word that selects no stage.
    job("reg_onefac", "One factor, items listed in item order", "PFA", 1, "NOLABELS", "SORT",
        "VARIMAX", "REG", "SCORES")
    job("bart_unknown", "A rotation word of no stage", "PFA", 2, "NOLABELS", "SORT",
        "QUARTIMAX", "BART", "NONE")
    job("reg_pca_none", "Component scores without rotation", "PCA", 3, "NOLABELS", "NOSORT",
        "NONE", "REG", "SCORES", items=False)
    job("reg_ids", "Identifiers of the score file", "PCA", 1, "NOLABELS", "NOSORT",
        "NONE", "REG", "NONE", data="ids.dat", items=False, fmt="(F22.0,4F7.2)", nvar=4, nsubj=12)

    # Failures and skips.
    job("reg_ip_fail", "Regression scores of ipsatized data", "PFA", 2, "NOLABELS", "NOSORT",
        "VARIMAX", "REG", "NONE", items=False, metric="IP")
    job("rot_skipped", "Loadings input asks for scores", "ROT", 3, "NOLABELS", "SORT",
        "VARIMAX", "REG", "ALL", data="loadings.dat", dattyp="FLD1", fmt="(3F6.3)")


if __name__ == "__main__":
    main()
