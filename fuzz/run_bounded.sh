#!/usr/bin/env bash
# Fuzzes a libFuzzer program for a bounded number of runs from its seeds and
# crash fixtures, with a fixed random seed. New inputs go to a scratch folder;
# a crashing input is kept in ./artifacts and the test fails.
set -euo pipefail
target=$1
runs=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/corpus" artifacts
inputs=()
for folder in "$@"; do
  [ -d "$folder" ] && inputs+=("$folder")
done
status=0
"$target" -runs="$runs" -seed=1 -max_len=65536 -timeout=30 -malloc_limit_mb=1024 \
  -artifact_prefix="$scratch/" -print_final_stats=1 "$scratch/corpus" "${inputs[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  cp "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-* artifacts/ 2>/dev/null || true
  echo "fuzzing found a fault; the input is kept in $(pwd)/artifacts"
fi
exit "$status"
