#!/usr/bin/env bash
# Sets up, builds and runs every test.  With --sanitize the same tests run
# once more in a separate build under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the tests labelled "threads" (the code
# that runs on several threads) in a third build under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

if [ "${1:-}" = "--sanitize" ]; then
  scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
     ctest --output-on-failure -j"$(nproc)")
  ORV_TARGETS=orv_thread_tests scripts/setup.sh build-tsan -DORV_TSAN=ON
  (cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
     ctest -L threads --output-on-failure -j"$(nproc)")
fi
