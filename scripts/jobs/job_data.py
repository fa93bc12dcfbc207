"""Deterministic test data for the job generators in this folder.

A 64-bit linear congruential generator (Knuth's MMIX constants) with
Irwin-Hall deviates (the sum of twelve uniforms less six): every value is
computed exactly, so generated files are the same on every machine and
Python version.

Each command file's first line names its maker as "scripts/make_<kind>_jobs.py",
the text the committed jobs hold and the golden reports echo (head()).
"""
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


class Generator:
    def __init__(self, seed):
        self.state = seed

    def uniform(self):
        # The top 32 bits of the state as a fraction.
        self.state = (6364136223846793005 * self.state + 1442695040888963407) % 2**64
        return (self.state >> 32) / 2**32

    def normal(self):
        return sum(self.uniform() for _ in range(12)) - 6.0


def writer(folder):
    """A function that writes a text file with LF line ends into `folder`."""
    def write(name, text):
        with open(os.path.join(folder, name), "w", newline="\n") as f:
            f.write(text)
    return write


def output_folder(kind):
    """The folder named on the command line, else tests/engine/jobs/KIND."""
    return sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "tests", "engine", "jobs", kind)


def head(name, maker):
    """The first line of command file NAME, written by MAKER."""
    return "* %s: written by scripts/%s" % (name, maker)
