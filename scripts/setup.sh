#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Orvalis, then
# configures and builds.  Usage: scripts/setup.sh [BUILD_DIR [cmake options...]]
# Environment: ORV_TARGETS  the targets to build (default: all, which holds
# the programs and the tests; benchmarks build only on request).
#              ORV_NO_QT    when set, Qt 6 and the Liberation fonts that the
# front end needs are neither installed nor used: the engine is built alone.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ gfortran clang libclang-rt-14-dev
          libblas-dev liblapack-dev libgtest-dev python3)
qt_options=()
if [ -n "${ORV_NO_QT:-}" ]; then
  qt_options=(-DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON)
else
  packages+=(qt6-base-dev fonts-liberation)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build_dir="${1:-build}"
shift || true
cmake -S . -B "$build_dir" -G Ninja "${qt_options[@]}" "$@" >/dev/null
targets=()
for t in ${ORV_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
