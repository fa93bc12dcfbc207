#!/usr/bin/env bash
# Sets up, builds and runs every test.  With --sanitize the same tests run
# once more in a separate build under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

if [ "${1:-}" = "--sanitize" ]; then
  scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j"$(nproc)")
fi
