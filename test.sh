#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
#   ./test.sh              the normal build in build/
#   ./test.sh --sanitize   a clang build in build-sanitize/ with AddressSanitizer
#                          and UndefinedBehaviorSanitizer and the libFuzzer targets
#                          (each fuzzed for a bounded number of runs). The tests
#                          that start the real office server are left out there:
#                          the office's own libraries are not instrumented.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh

if [ "${1:-}" = "--sanitize" ]; then
  export CXX=clang++ CC=clang
  export BUILD_DIR=build-sanitize
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:exitcode=86}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  scripts/build.sh -DDECKMEND_SANITIZE=ON -DDECKMEND_FUZZ=ON
  cd "$BUILD_DIR"
  ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE real-office
  exit
fi

scripts/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 900
