#!/usr/bin/env bash
# Shows the engine's window under Xvfb and saves two screenshots: during a
# run (a job whose data file is missing, waiting at the pause prompt after
# its message) and after one (the end-of-run question of a job that ends
# early, with neither rotation nor scores).  Each engine is ended once its
# screenshot is taken.  For people to look at; not run in CI.
#
# Usage: scripts/window-screenshots.sh [BUILD_DIR [OUT_DIR]]
#        (defaults build and out/screenshots)
# Needs: Xvfb, xwininfo (x11-utils), import (imagemagick), python3, and an
# orvcalc built with Qt 6 Widgets.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/out/screenshots}")"
for tool in Xvfb xwininfo import python3; do
  command -v "$tool" >/dev/null || { echo "window-screenshots: $tool is missing" >&2; exit 1; }
done

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j3 --target orvcalc >/dev/null
orvcalc="$build/apps/orvcalc"
ldd "$orvcalc" | grep libQt6Widgets >/dev/null || { echo "window-screenshots: $orvcalc was built without Qt" >&2; exit 1; }
mkdir -p "$out"

tmp="$(mktemp -d /tmp/orv_screens_XXXXXX)"
xvfb=""
engine=""
cleanup() {
  [ -z "$engine" ] || kill "$engine" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# A free display: Xvfb picks the number and writes it to the fifo.
mkfifo "$tmp/display"
Xvfb -displayfd 3 -screen 0 1100x760x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
read -r number <"$tmp/display"
export DISPLAY=":$number"

# Forty five-category items of 4,000 subjects on two factors; the job ends
# after the unrotated solution.  missing.in names a data file that is not
# there.
python3 - "$tmp" <<'EOF'
import os, random, sys
folder = sys.argv[1]
rng = random.Random(20261209)
nvar, nsubj = 40, 4000
with open(os.path.join(folder, "shots.dat"), "w") as f:
    for s in range(1, nsubj + 1):
        a, b = rng.gauss(0, 1), rng.gauss(0, 1)
        cells = ""
        for v in range(nvar):
            y = 0.7 * (a if v % 2 == 0 else b) + 0.71 * rng.gauss(0, 1)
            cells += str(1 + (y > -1.2) + (y > -0.4) + (y > 0.3) + (y > 1.1))
        f.write("%6d%s\n" % (s, cells))
for job, data in (("shots", "shots.dat"), ("missing", "missing.dat")):
    lines = [
        ">TITLE: Window screenshots - forty ordered items",
        ">DATA: %s %d %d" % (data, nvar, nsubj),
        ">OUTFILE: %s.out SHORT" % job,
        ">METRIC: OR RAW NS",
        ">MODEL: PFA 2 NOLABELS NOSORT",
        ">ROTATE: NONE",
        ">SCORE: NONE",
        ">PLOT: NONE",
        ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 120 F",
        ">FORMAT: (F6.0,%dF1.0)" % nvar,
    ]
    with open(os.path.join(folder, job + ".in"), "w") as f:
        f.write("\n".join(lines) + "\n")
EOF

# Waits until at least $1 top-level windows titled "orvcalc" are shown (the
# frame, then the frame and its question); false after $2 seconds.
wait_for_windows() {
  local want="$1" limit="$2" n
  for _ in $(seq $((limit * 10))); do
    n="$(xwininfo -root -tree 2>/dev/null | grep -c '"orvcalc"' || true)"
    [ "$n" -ge "$want" ] && return 0
    sleep 0.1
  done
  return 1
}

# Starts the engine on job $1 in its window; its process is $engine.
start_engine() {
  (cd "$tmp" && exec env ORVCALC_HOST=window "$orvcalc" "$1" >>"$tmp/engine.log" 2>&1) &
  engine=$!
}
stop_engine() {
  kill "$engine" 2>/dev/null || true
  wait "$engine" 2>/dev/null || true
  engine=""
}

start_engine missing.in
wait_for_windows 1 20 || { echo "window-screenshots: the window did not appear" >&2; exit 1; }
sleep 1
import -window root "$out/engine-during-run.png"
stop_engine

start_engine shots.in
wait_for_windows 2 120 || { echo "window-screenshots: the run did not end" >&2; exit 1; }
sleep 0.5
import -window root "$out/engine-after-run.png"
stop_engine
echo "Saved $out/engine-during-run.png and $out/engine-after-run.png"
