#!/usr/bin/env bash
# Sets up, builds and runs the engine on the example job; the report is
# written to out/example.out (the job's >OUTFILE: name, relative to out/).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build
mkdir -p out
cp examples/example.in examples/example.dat out/
cd out
../build/apps/orvcalc "$PWD/example.in"
