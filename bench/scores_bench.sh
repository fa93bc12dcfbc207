#!/usr/bin/env bash
# Factor score benchmark: whole runs of a regression-score job (100,000
# subjects x 200 items, PFA with 10 factors, Varimax, SCORE REG, the .fsc
# file) on one core and on all cores, each printing the score stage's own
# time (scores, weights and correlation blocks, .fsc) beside the raw-data
# read of the same run.  Target: the score stage costs no more than half
# the read.
#
# The engine takes one thread per core and has no setting for it, so the
# one-core runs are pinned with taskset -c 0 (the threads then share that
# core).  Best of RUNS runs (by whole-run time) for each.
#
# Usage: bench/scores_bench.sh [BUILD_DIR]   (default build-bench)
# Environment: RUNS  runs per core count (default 3).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-bench}")"
runs="${RUNS:-3}"
tmp="$(mktemp -d /tmp/orv_scorebench_XXXXXX)"
trap 'rm -rf "$tmp"' EXIT

if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
        cmake --build "$build" -j3 --target orv_scores_bench; } >"$tmp/build.log" 2>&1; then
    echo "building the benchmark failed:" >&2; tail -20 "$tmp/build.log" >&2; exit 1
fi
bench="$build/bench/orv_scores_bench"

echo "Making the data in $tmp ..."
"$bench" make "$tmp"
cores="$(nproc)"

# Prints "whole read scores" of the best run (least whole time).
best_of() {
    local best="" line
    for ((k = 1; k <= runs; k++)); do
        (cd "$tmp" && "$@" "$bench" run "$tmp/scores.in" </dev/null >"$tmp/window.txt" 2>"$tmp/times.txt") || {
            echo "the run failed:" >&2; tail -5 "$tmp/window.txt" >&2; cat "$tmp/times.txt" >&2; exit 1; }
        line="$(tail -1 "$tmp/times.txt")"
        if [[ -z "$best" ]] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then best="$line"; fi
    done
    echo "$best"
}

printf '\n%-10s %10s %10s %12s %12s\n' cores "whole s" "read s" "scores s" "scores/read"
for setting in "1:taskset -c 0" "$cores:"; do
    n="${setting%%:*}"
    prefix="${setting#*:}"
    # shellcheck disable=SC2086
    set -- $(best_of $prefix)
    printf '%-10s %10.2f %10.2f %12.2f %12.2f\n' "$n" "$1" "$2" "$3" "$(awk -v s="$3" -v r="$2" 'BEGIN { print s / r }')"
done
echo
echo "scores: \"Computing factor scores\" to \"Finished\" (weights, scores, blocks, .fsc);"
echo "read: \"Reading Data\" to \"Computing correlations\".  Target: scores/read <= 0.5."
