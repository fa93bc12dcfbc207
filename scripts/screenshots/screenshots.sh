#!/usr/bin/env bash
# Starts the front end's hub, every wizard dialog, the manual browser and the
# about box under Xvfb and saves a picture of each with ImageMagick's
# `import`: out/screenshots/<name>.png, and screen-<name>.png of the whole
# screen for the hub and the principal window.  Needs xvfb and imagemagick;
# not part of the tests.  Usage: scripts/screenshots/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."

build_dir="${1:-build}"
if [ -z "${ORV_UNDER_XVFB:-}" ]; then
  cmake --build "$build_dir" --target screenshot_driver >/dev/null
  ORV_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build_dir"
fi

out=out/screenshots
mkdir -p "$out"
coproc DRIVER { QT_QPA_PLATFORM=xcb "$build_dir/tests/frontend/screenshot_driver"; }
driver_pid=$DRIVER_PID
while read -r -u "${DRIVER[0]}" word name id; do
  [ "$word" = SHOT ] || continue
  import -window "$id" "$out/$name.png"
  case "$name" in
    hub*|principal*) import -window root "$out/screen-$name.png" ;;
  esac
  echo "$out/$name.png"
  echo >&"${DRIVER[1]}"
done
wait "$driver_pid"
