#!/usr/bin/env bash
# Sets up, builds the engine alone (no tests, no benchmarks) and runs it on
# the example job in out/; the report (example.out) and the matrix files are
# written there.
set -euo pipefail
cd "$(dirname "$0")/.."

ORV_TARGETS=orvcalc scripts/setup.sh build
mkdir -p out
cp examples/example.in examples/example.dat out/
cd out
../build/apps/orvcalc "$PWD/example.in"
echo "Report: out/example.out"
