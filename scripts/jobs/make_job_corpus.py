#!/usr/bin/env python3
"""Writes the seed corpus of the whole-job fuzz target (tests/fuzz/corpus/job)
from the repository's own jobs: every command file under tests/engine/jobs
and examples/, with the files it names, in the target's container (a file
begins with a line "==> NAME"; the command text comes first).

File names in the command files become plain names of the job's folder.  A
raw data file is cut to its first records, at most MAX_DATA bytes, and the
subject count on >DATA: to the subjects those records hold, so that the seeds
stay small and every job still reads all its data.  The corpus also holds
inputs the fuzzer found (named by their SHA-1), which this script leaves as
they are.

Usage: scripts/jobs/make_job_corpus.py [output folder]
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "tests", "fuzz", "corpus", "job")
SOURCES = [os.path.join(ROOT, "tests", "engine", "jobs"), os.path.join(ROOT, "examples")]
MAX_DATA = 1500
NAMED = (">DATA:", ">ITEMS:", ">PHI:")


def all_files():
    found = {}
    for top in SOURCES:
        for d, _, names in sorted(os.walk(top)):
            for n in sorted(names):
                found.setdefault(n, os.path.join(d, n))
    return found


def split_name(line):
    """(keyword, name, rest) of a line whose second item is a file name."""
    m = re.match(r"(\S+)(\s+)('[^']*'|\"[^\"]*\"|\S+)(.*)$", line)
    if not m:
        return None
    return m.group(1), m.group(3).strip("'\""), m.group(4)


def seed(job_path, files):
    lines = open(job_path, encoding="latin-1").read().replace("@DIR@/", "").split("\n")
    out, named = [], []
    metric = ""
    for i, line in enumerate(lines):
        key = line.split()[0].upper() if line.split() else ""
        guessing = metric == "DC" and i > 0 and lines[i - 1].upper().startswith(">METRIC:")
        parts = split_name(line) if (key in NAMED or guessing) else None
        if key == ">METRIC:" and len(line.split()) > 1:
            metric = line.split()[1].upper()
        if parts is None:
            out.append(line)
            continue
        keyword, name, rest = parts
        plain = os.path.basename(name)
        local = os.path.join(os.path.dirname(job_path), name)
        source = local if os.path.isfile(local) else files.get(plain)
        out.append(keyword + " " + plain + rest)
        if source is not None and plain not in [n for n, _ in named]:
            named.append((plain, open(source, encoding="latin-1").read()))
    text = "\n".join(out)

    # Raw data cut short, and the subject count with it.
    raw = re.search(r"^>METRIC:\s+\S+\s+RAW", text, re.I | re.M)
    data = re.search(r"^(>DATA:\s+)(\S+)(\s+)(\d+)(\s+)(\d+)", text, re.I | re.M)
    if raw and data:
        for k, (n, body) in enumerate(named):
            if n != data.group(2) or len(body) <= MAX_DATA:
                continue
            records = body.split("\n")
            kept, size = [], 0
            for r in records:
                if size + len(r) + 1 > MAX_DATA:
                    break
                kept.append(r)
                size += len(r) + 1
            named[k] = (n, "\n".join(kept) + "\n")
            subjects = min(int(data.group(6)), len(kept))
            text = text[: data.start(6)] + str(subjects) + text[data.end(6):]
    container = text.rstrip("\n") + "\n"
    for n, body in named:
        container += "==> " + n + "\n" + body
        if not container.endswith("\n"):
            container += "\n"
    return container


def main():
    files = all_files()
    os.makedirs(OUT, exist_ok=True)
    for top in SOURCES:
        for d, _, names in sorted(os.walk(top)):
            for n in sorted(names):
                if not n.endswith(".in"):
                    continue
                path = os.path.join(d, n)
                rel = os.path.relpath(path, ROOT).replace(os.sep, "_")
                with open(os.path.join(OUT, rel[: -len(".in")]), "w", encoding="latin-1", newline="") as f:
                    f.write(seed(path, files))


if __name__ == "__main__":
    main()
