#!/usr/bin/env bash
# Runs orvshell itself under Xvfb, drives it from the keyboard and saves
# screenshots in out/screenshots/: the main window with a 130-column report,
# the engine's window during a run, with its File and State menus open and
# paused, and at the end of a stopped run, the message the front end then
# shows (for a FATAL ERROR and for a stop without one), and the wizard's hub.  For people, not
# for CI.  Needs xvfb and imagemagick; builds orvshell and orvcalc in
# ${BUILD_DIR:-build}.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/${BUILD_DIR:-build}
keys="python3 $root/scripts/screenshots/xkeys.py"
for tool in Xvfb import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (apt-get install xvfb imagemagick)"; exit 1; }
done
cmake --build "$build" --target orvshell orvcalc -j3 >/dev/null

out=$root/out/screenshots
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  # The programs first, the display last.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; sleep 0.2; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The jobs: thirty continuous items with a report 130 columns wide; two
# hundred ordered items (polychoric correlations), long enough to watch;
# the example with a metric the engine rejects; a correlation matrix whose
# communalities diverge.
sed -e 's/>METRIC: CO/>METRIC: XX/' -e 's/example\.out/bad.out/' examples/example.in > "$work/bad.in"
printf '%s\n' '1 0.9 0.9' '0.9 1 -0.9' '0.9 -0.9 1' > "$work/diverge.cor"
printf '%s\n' '>TITLE: diverging communalities' '>DATA: diverge.cor 3 100' '>OUTFILE: diverge.out SHORT' \
  '>METRIC: CO COR NOSMOOTH' '>MODEL: PFA 1 NOLABELS NOSORT' '>ROTATE: NONE' '>SCORE: NONE' '>PLOT: NONE' \
  '>TECHNICAL: .0001 200 .0001 200 T .2 ONE 120 F' '>FORMAT: (F4.0)' > "$work/diverge.in"
cp examples/example.dat "$work/"
python3 - "$work" <<'PY'
import os, sys
state = 20261209
def uniform():
    global state
    state = (6364136223846793005 * state + 1442695040888963407) % 2**64
    return (state >> 11) / 2**53
def job(name, nvar, nsubj, metric, width, value, fmt, model, rotation):
    with open(os.path.join(sys.argv[1], name + ".dat"), "w") as f:
        for s in range(1, nsubj + 1):
            g = sum(uniform() for _ in range(4)) - 2
            f.write("%5d%s\n" % (s, "".join(("%*d" % (width, value(g))) for _ in range(nvar))))
    with open(os.path.join(sys.argv[1], name + ".in"), "w") as f:
        f.write(">TITLE: %d items\n>DATA: %s.dat %d %d\n>OUTFILE: %s.out LONG\n>METRIC: %s RAW NOSMOOTH\n"
                ">MODEL: %s NOLABELS SORT\n>ROTATE: %s\n>SCORE: NONE\n>PLOT: NONE\n"
                ">TECHNICAL: .0001 200 .0001 200 T .2 SMC 130 F\n>FORMAT: (F5.0,%d%s)\n"
                % (nvar, name, nvar, nsubj, name, metric, model, rotation, nvar, fmt))
job("wide", 30, 300, "CO", 3, lambda g: min(7, max(1, int(4 + 1.5 * g + 2 * uniform()))), "F3.0", "PFA 2", "VARIMAX")
job("long", 200, 20000, "OR", 1, lambda g: min(4, max(0, int(0.9 * g + 1.6 * uniform() + 1.2))), "F1.0", "PFA 3", "PROMAX 3")
PY
(cd "$work" && "$build/apps/orvcalc" wide.in >/dev/null)

# A main window of 1500 x 950 pixels, in twips.
mkdir -p "$work/config/Orvalis"
printf '[Settings]\nMainLeft=750\nMainTop=375\nMainWidth=22500\nMainHeight=14250\n' \
  > "$work/config/Orvalis/orvshell.conf"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display XDG_CONFIG_HOME=$work/config
$keys wait
shot() { sleep "${2:-1}"; import -window root "$out/$1.png"; echo "screenshots: $1.png"; }
front() { $keys focus "Orvalis 2.0"; }
open_file() { front; $keys key ctrl+o; sleep 1; $keys type "$1"; $keys key Return; }

# One CPU, so the long job runs long enough to be seen.
(cd "$work" && exec taskset -c 0 "$build/apps/orvshell") &
pids+=($!)
sleep 2
$keys pointer 700 500

open_file "$work/wide.out"
sleep 1
$keys key Next   # down to the correlation matrix
shot main-window-report

open_file "$work/long.in"
sleep 1
front
$keys key ctrl+r
shot engine-running 2
$keys focus orvcalc || echo "screenshots: no engine window (orvcalc built without its window host?)"
$keys key alt+f
shot engine-menu-file 1
$keys key Escape
$keys key alt+s
shot engine-menu-state 1
$keys key p                 # State > Pause
shot engine-paused 2
# Longer than the whole run takes: the engine waits at its next message.
shot engine-still-paused 25
$keys key alt+s
$keys key r                 # State > Resume
sleep 15   # the report replaces the command text when the engine ends
shot main-window-after-run

open_file "$work/bad.in"
sleep 1
front
$keys key ctrl+r
shot engine-stopped 2
$keys focus orvcalc || echo "screenshots: no engine window (orvcalc built without its window host?)"
$keys key Return            # the pause prompt
shot engine-end-question 1
$keys key alt+y             # "Exit Window?" Yes
shot front-end-message 2
$keys key Return

open_file "$work/diverge.in"
sleep 1
front
$keys key ctrl+r
sleep 2
$keys focus orvcalc || echo "screenshots: no engine window (orvcalc built without its window host?)"
$keys key Return            # the pause prompt
sleep 1
$keys key alt+y
shot front-end-message-diverged 2
$keys key Return

front
$keys key ctrl+b
shot wizard-hub 2
