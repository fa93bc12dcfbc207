#!/usr/bin/env bash
# Triplet-test benchmark against a base commit: whole orvcalc runs of one
# TRP job (60 mixed-sign items x 5,000 subjects, bench/make_trp_data.py),
# by the orvcalc of a base commit (default 9a3a99d, the search of the Newton
# steps alone) and by this tree's, taken in turns so that other work on a
# shared machine weighs on both alike.  Prints the best of RUNS runs of each
# and the ratio of this tree's to the base's, with the load average.
#
# The base is checked out into its own worktree outside this one and built
# there in Release, as this tree is in BUILD_DIR.
#
# Usage: bench/trp_ratio.sh [RUNS [BASE_COMMIT [BASE_WORKTREE [BUILD_DIR]]]]
#        (default 5 9a3a99d /work/bench-<commit> build-bench)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-5}"
base="${2:-9a3a99d}"
base_tree="${3:-/work/bench-$base}"
build="${4:-$root/build-bench}"
tmp="$(mktemp -d /tmp/orv_trpratio_XXXXXX)"
trap 'rm -rf "$tmp"' EXIT

release() {  # SOURCE BUILD: configure and build orvcalc in Release
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON >/dev/null
    cmake --build "$2" --target orvcalc -j4 >/dev/null
}
if [ ! -d "$base_tree" ]; then
    git -C "$root" worktree add --detach "$base_tree" "$base" >/dev/null
fi
release "$base_tree" "$base_tree/build-release"
release "$root" "$build"

for side in base this; do
    mkdir -p "$tmp/$side"
    python3 "$root/bench/make_trp_data.py" "$tmp/$side"
done

now() { date +%s.%N; }
run() {  # SIDE ORVCALC: one run; prints its elapsed seconds
    local start end
    start="$(now)"
    (cd "$tmp/$1" && "$2" trp.in </dev/null >window 2>&1) || { echo "orvcalc failed ($1)" >&2; exit 1; }
    end="$(now)"
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}
best_base="" best_this=""
for _ in $(seq "$runs"); do
    t="$(run base "$base_tree/build-release/apps/orvcalc")"
    best_base="$(printf '%s\n%s\n' "$best_base" "$t" | sed '/^$/d' | sort -g | head -1)"
    t="$(run this "$build/apps/orvcalc")"
    best_this="$(printf '%s\n%s\n' "$best_this" "$t" | sed '/^$/d' | sort -g | head -1)"
done
echo "triplet test, 60 items x 5,000 subjects, $(nproc) CPUs, best of $runs runs each, taken in turns"
echo "  base $base  $best_base s"
echo "  this tree     $best_this s"
awk -v a="$best_this" -v b="$best_base" 'BEGIN { printf "  ratio         %.2f (target <= 1.5)\n", a / b }'
echo "  load average  $(cut -d' ' -f1-3 /proc/loadavg)"
