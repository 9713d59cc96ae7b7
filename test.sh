#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
#   ./test.sh              the normal build in build/
#   ./test.sh --sanitize   a clang build in build-sanitize/ with AddressSanitizer
#                          and UndefinedBehaviorSanitizer, with the libFuzzer
#                          targets (each also fuzzed for a bounded number of runs).
#                          Leaks inside the office's UNO libraries are suppressed;
#                          the office itself is not instrumented. The text-measuring
#                          end-to-end tests (label end-to-end) run in the normal
#                          build only; the sweep takes binary repairs through the
#                          sanitized program here.
# Tests that need the office or the corpus fail when it is missing. Set
# DECKMEND_SKIP_REAL_OFFICE=1 to opt out of the office: those tests then show as
# skipped.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh

if [ "${1:-}" = "--sanitize" ]; then
  export CXX=clang++ CC=clang
  export BUILD_DIR=build-sanitize
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:exitcode=86}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/automation/tests/lsan.supp}
  scripts/build.sh -DDECKMEND_SANITIZE=ON -DDECKMEND_FUZZ=ON
  cd "$BUILD_DIR"
  ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE end-to-end
  exit
fi

scripts/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 900
