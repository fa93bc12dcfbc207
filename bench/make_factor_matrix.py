#!/usr/bin/env python3
"""Writes a correlation matrix with a known factor structure for the
extraction benchmark: R = L L' + diag(1 - h^2), L of NVAR variables on NFAC
factors, each variable loading 0.45-0.80 on its own factor (variables taken
in turn) and -0.10-0.10 on the others.  The matrix is written as NVAR
records of NVAR values, each a blank and F9.6, read list-directed, and is the same on
every machine (a 64-bit LCG, no library).

Usage: bench/make_factor_matrix.py FILE [NVAR] [NFAC]
"""
import sys


def main():
    path = sys.argv[1]
    nvar = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    nfac = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    state = 20293

    def uniform():
        nonlocal state
        state = (6364136223846793005 * state + 1442695040888963407) % 2**64
        return (state >> 11) / 2**53

    loads = []
    for i in range(nvar):
        row = [0.2 * uniform() - 0.1 for _ in range(nfac)]
        row[i % nfac] = 0.45 + 0.35 * uniform()
        loads.append(row)
    with open(path, "w", newline="\n") as f:
        for i in range(nvar):
            li = loads[i]
            cells = []
            for j in range(nvar):
                if i == j:
                    cells.append(" %9.6f" % 1.0)
                else:
                    lj = loads[j]
                    cells.append(" %9.6f" % sum(a * b for a, b in zip(li, lj)))
            f.write("".join(cells) + "\n")


if __name__ == "__main__":
    main()
