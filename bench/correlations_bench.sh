#!/usr/bin/env bash
# Correlation benchmark: whole orvcalc runs of three CMT jobs (tetrachoric
# 200 items x 100,000 subjects, polychoric with 5 categories 100 x 20,000,
# Pearson 500 x 100,000) on all cores and on one core, and the same
# correlations from R's psych (tetrachoric, polychoric) and lavaan (lavCor)
# where those packages are installed.  The data are made by
# bench/make_correlation_data.py in a temporary folder.
#
# The engine takes one thread per CPU it may run on and has no setting for
# it, so the one-core runs are pinned with taskset -c 0 (and then run on
# one thread).  R times cover the correlation call only, after the data have
# been read; orvcalc times cover the whole run: reading, correlating and
# writing the report, the .cor file and the side files.
#
# orvcalc: best of three runs; R: one run each.
#
# Usage: bench/correlations_bench.sh [BUILD_DIR]   (default build-bench)
# Environment: R_TIMEOUT  seconds allowed to each R call (default 1800).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
r_timeout="${R_TIMEOUT:-1800}"
tmp="$(mktemp -d /tmp/orv_corbench_XXXXXX)"
trap 'rm -rf "$tmp"' EXIT

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target orvcalc >/dev/null
orvcalc="$build/apps/orvcalc"

echo "Making the data in $tmp ..."
python3 "$root/bench/make_correlation_data.py" "$tmp"
cores="$(nproc)"

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# Runs orvcalc on a job three times; prints the best elapsed seconds.  The
# arguments after the job are a prefix of the command (taskset), or none.
run_orvcalc() {
    local job="$1"; shift
    local start end best=""
    for _ in 1 2 3; do
        start="$(now)"
        (cd "$tmp" && "$@" "$orvcalc" "$tmp/$job.in" </dev/null >"$tmp/$job.window" 2>&1) || {
            echo "orvcalc failed on $job:" >&2; tail -5 "$tmp/$job.window" >&2; exit 1; }
        end="$(now)"
        best="$(printf '%s\n%s\n' "$best" "$(seconds "$start" "$end")" | sed '/^$/d' | sort -g | head -1)"
    done
    echo "$best"
}

cat >"$tmp/reference.R" <<'EOF'
# Rscript reference.R PACKAGE JOB DATAFILE NVAR: prints the elapsed seconds
# of the correlation call alone.
args <- commandArgs(trailingOnly = TRUE)
package <- args[1]; job <- args[2]; file <- args[3]; nvar <- as.integer(args[4])
options(mc.cores = parallel::detectCores())
widths <- c(6, rep(if (job == "pea") 3 else 1, nvar))
raw <- readLines(file)
x <- sapply(seq_len(nvar), function(v) {
    first <- 7 + sum(widths[-1][seq_len(v - 1)])
    as.integer(substr(raw, first, first + widths[v + 1] - 1))
})
rm(raw)
x <- as.data.frame(x)
suppressPackageStartupMessages(library(package, character.only = TRUE))
call <- switch(paste(package, job),
    "psych tet" = function() tetrachoric(x),
    "psych pol" = function() polychoric(x),
    "lavaan tet" = function() lavCor(x, ordered = names(x)),
    "lavaan pol" = function() lavCor(x, ordered = names(x)),
    "lavaan pea" = function() lavCor(x),
    stop("no such call"))
t <- system.time(r <- suppressWarnings(call()))[["elapsed"]]
cat(sprintf("%.2f\n", t))
EOF

have_r_package() {
    command -v Rscript >/dev/null && Rscript -e "quit(status = !requireNamespace('$1', quietly = TRUE))" 2>/dev/null
}

run_r() {
    local package="$1" job="$2" nvar="$3" out
    if ! have_r_package "$package"; then echo "not installed"; return; fi
    if out="$(timeout "$r_timeout" Rscript "$tmp/reference.R" "$package" "$job" "$tmp/$job.dat" "$nvar" 2>"$tmp/r.err")"; then
        # The packages may print notes of their own before the time.
        echo "$out" | tail -1
    elif [ $? -eq 124 ]; then
        echo "timeout>$r_timeout"
    else
        echo "failed"; tail -3 "$tmp/r.err" >&2
    fi
}

printf '\n%-12s %9s %9s %7s %12s %12s %9s\n' job "all($cores)" "1 core" speedup psych lavaan "R/orv"
for job in "tet 200" "pol 100" "pea 500"; do
    set -- $job
    job="$1" nvar="$2"
    all="$(run_orvcalc "$job")"
    one="$(run_orvcalc "$job" taskset -c 0)"
    if [ "$job" = pea ]; then psych="no call"; else psych="$(run_r psych "$job" "$nvar")"; fi
    lavaan="$(run_r lavaan "$job" "$nvar")"
    # The fastest R time (a timeout counts as its limit, a lower bound).
    best="$(printf '%s\n%s\n' "$psych" "$lavaan" | sed -n 's/^timeout>//; /^[0-9.]*$/p' | sort -g | head -1)"
    ratio="-"
    [ -n "$best" ] && ratio="$(awk -v r="$best" -v o="$all" 'BEGIN { printf "%.1fx", r / o }')"
    speedup="$(awk -v a="$all" -v o="$one" 'BEGIN { printf "%.1fx", o / a }')"
    printf '%-12s %9s %9s %7s %12s %12s %9s\n' "$job" "$all" "$one" "$speedup" "$psych" "$lavaan" "$ratio"
done
echo
echo "Times in seconds.  orvcalc: whole run; R: the correlation call after reading."
echo "R/orv: the fastest R time over orvcalc on all cores (a timeout counts as its limit)."
