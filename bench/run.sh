#!/usr/bin/env bash
# Builds the input/output benchmark (ours in Release at -O2, GNU Fortran's at
# -O2), makes its data file, runs each program twice per task and prints the
# times and the ratio ours / gfortran (best of the two runs each).
# Usage: bench/run.sh [SUBJECTS]   (default 100000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
subjects="${1:-100000}"
build="$root/build-bench"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target orv_io_bench >/dev/null
ours="$build/bench/orv_io_bench"
theirs="$tmp/io_bench_gf"
gfortran -O2 -o "$theirs" "$root/bench/io_bench.f90" -J "$tmp"

# Subjects: an id in 6 columns and 100 one-digit values in 2 columns each,
# from a fixed linear congruential sequence.
awk -v n="$subjects" 'BEGIN {
  s = 12345
  for (i = 1; i <= n; i++) {
    line = sprintf("%6d", i)
    for (j = 0; j < 100; j++) { s = (s * 1103515245 + 12345) % 2147483648; line = line sprintf("%2d", int(s / 65536) % 10) }
    print line
  }
}' > "$tmp/subjects.dat"

best() {  # best seconds of two runs of: program task file
  local b="" out s
  for run in 1 2; do
    out="$("$1" "$2" "$3")"
    s="$(echo "$out" | awk '{print $2}')"
    echo "  $(basename "$1") $2 run $run: $out" >&2
    if [ -z "$b" ] || awk -v a="$s" -v b="$b" 'BEGIN{exit !(a < b)}'; then b="$s"; fi
  done
  echo "$b"
}

o="$(best "$ours" read "$tmp/subjects.dat")"
g="$(best "$theirs" read "$tmp/subjects.dat")"
awk -v o="$o" -v g="$g" 'BEGIN { printf "read  ours %.3f s  gfortran %.3f s  ratio ours/gfortran %.2f\n", o, g, o / g }'

o="$(best "$ours" write "$tmp/matrix.ours")"
g="$(best "$theirs" write "$tmp/matrix.gfortran")"
awk -v o="$o" -v g="$g" 'BEGIN { printf "write ours %.3f s  gfortran %.3f s  ratio ours/gfortran %.2f\n", o, g, o / g }'
if cmp -s "$tmp/matrix.ours" "$tmp/matrix.gfortran"; then
  echo "matrix files identical"
else
  echo "matrix files DIFFER"
fi
