#!/usr/bin/env bash
# Extraction benchmark: a whole orvcalc run extracting 10 principal-axis
# factors (model PFA, input COR, ROTATE NONE, SCORE NONE, SMC start) from a
# 1,000 x 1,000 correlation matrix with a 10-factor structure, beside R's
# psych::fa(fm = "pa", nfactors = 10) on the same matrix where R and psych
# are installed (Debian: r-cran-psych); without them the R line says so.
# The matrix is made by bench/make_factor_matrix.py in a temporary folder.
#
# orvcalc runs pinned to one CPU (every routine then runs on one thread)
# and on all the CPUs it may use; the two reports must be the same byte for
# byte.  The one-CPU runs go to a different CPU each, from the last one it
# may use down: on a virtual machine one CPU can be much slower than the
# others for a while (the first often serves the interrupts, another may
# share its core with other work), and the best run is the one reported.
#
# The orvcalc time covers the whole run: reading the matrix, the eigenvalue
# table and plot, the iterations, the fit statistics and the report.  The R
# time covers the fa() call alone, after the matrix has been read.  psych
# stops its iteration at a change below 0.001 (at most 50 passes); orvcalc
# at a change of the communality sum below COMP_EPS = 0.0001.
#
# Usage: bench/extraction_bench.sh [BUILD_DIR]   (default build-bench)
# Environment: RUNS  orvcalc runs, the best one is reported (default 3).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
runs="${RUNS:-3}"
tmp="$(mktemp -d /tmp/orv_extbench_XXXXXX)"
trap 'rm -rf "$tmp"' EXIT

if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
        cmake --build "$build" --target orvcalc; } >"$tmp/build.log" 2>&1; then
    echo "building orvcalc failed:" >&2; tail -20 "$tmp/build.log" >&2; exit 1
fi
orvcalc="$build/apps/orvcalc"

echo "Making the 1000 x 1000 matrix in $tmp ..."
python3 "$root/bench/make_factor_matrix.py" "$tmp/r1000.cor" 1000 10

cat >"$tmp/pfa10.in" <<'JOB'
>TITLE: Extraction benchmark, 1000 variables, 10 factors
>DATA: r1000.cor 1000 1000
>OUTFILE: pfa10.out SHORT
>METRIC: CO COR NOSMOOTH
>MODEL: PFA 10 NOLABELS NOSORT
>ROTATE: NONE
>SCORE: NONE
>PLOT: NONE
>TECHNICAL: .0001 200 .0001 200 F .2 SMC 130 F
>FORMAT: (1000F10.6)
JOB

now() { date +%s.%N; }
# time_runs LABEL [PIN]: the best of RUNS runs, its report kept as
# LABEL.out; sets BEST.  With PIN, run K goes to the K-th CPU from the end
# of the list, round.
allowed=($(taskset -pc $$ | sed 's/.*: //' | tr ',' '\n' |
    awk -F- '{ last = NF > 1 ? $2 : $1; for (c = $1; c <= last; c++) print c }'))
time_runs() {
    local label="$1" pin="${2:-}"
    best=""
    for ((k = 1; k <= runs; k++)); do
        prefix=()
        if [[ -n "$pin" ]]; then
            prefix=(taskset -c "${allowed[$(( (${#allowed[@]} - k % ${#allowed[@]}) % ${#allowed[@]} ))]}")
        fi
        start="$(now)"
        (cd "$tmp" && ${prefix[@]+"${prefix[@]}"} "$orvcalc" "$tmp/pfa10.in" </dev/null >"$tmp/window.txt" 2>&1) || {
            echo "orvcalc failed:" >&2; tail -5 "$tmp/window.txt" >&2; exit 1; }
        end="$(now)"
        t="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')"
        if [[ -z "$best" ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best="$t"; fi
    done
    cp "$tmp/pfa10.out" "$tmp/$label.out"
}
cpus="$(nproc)"
time_runs one pin
one="$best"
time_runs all
all="$best"
iterations="$(sed -n 's/^Number of iterations during communality estimation: *//p' "$tmp/pfa10.out")"
printf '%-44s %8s s  (%s iterations, best of %d)\n' "orvcalc PFA 10 factors, whole run, 1 CPU" "$one" "$iterations" "$runs"
printf '%-44s %8s s  (best of %d)\n' "orvcalc PFA 10 factors, whole run, $cpus CPUs" "$all" "$runs"
awk -v a="$one" -v b="$all" -v c="$cpus" 'BEGIN { printf "orvcalc 1 CPU / %d CPUs: %.2f\n", c, a / b }'
if cmp -s "$tmp/one.out" "$tmp/all.out"; then
    echo "reports on 1 and $cpus CPUs: identical"
else
    echo "reports on 1 and $cpus CPUs: DIFFERENT" >&2; exit 1
fi

if command -v Rscript >/dev/null && Rscript -e 'suppressPackageStartupMessages(library(psych))' >/dev/null 2>&1; then
    cat >"$tmp/reference.R" <<'REF'
suppressPackageStartupMessages(library(psych))
r <- as.matrix(read.table(commandArgs(trailingOnly = TRUE)[1]))
t0 <- proc.time()[["elapsed"]]
f <- fa(r, nfactors = 10, fm = "pa", rotate = "none", n.obs = 1000, SMC = TRUE)
cat(sprintf("%.2f\n", proc.time()[["elapsed"]] - t0))
REF
    r_time="$(Rscript "$tmp/reference.R" "$tmp/r1000.cor" 2>/dev/null | tail -1)"
    printf '%-44s %8s s  (fa() call only)\n' "psych $(Rscript -e 'cat(format(packageVersion("psych")))') fa(fm = \"pa\", nfactors = 10)" "$r_time"
    awk -v a="$one" -v b="$r_time" 'BEGIN { printf "psych / orvcalc 1 CPU: %.2f\n", b / a }'
    awk -v a="$all" -v b="$r_time" -v c="$cpus" 'BEGIN { printf "psych / orvcalc %d CPUs: %.2f\n", c, b / a }'
else
    echo "psych::fa: skipped (R or r-cran-psych not installed)"
fi
