#!/usr/bin/env bash
# Package repair against a plain copy and `zip -FF`, on a package of about 300 MB:
# a real presentation from the corpus plus one large stored entry, with its
# central directory cut off. Prints, from one run, the rebuild step alone, the
# whole deckmend-repair run, the plain copy and zip -FF, and peak memory.
#   bench/package_repair.sh [BUILD_DIR]   (default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SHARED=../shared
WORK=$(mktemp -d "${TMPDIR:-/tmp}/deckmend-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

python3 bench/big_package.py "$SHARED/corpus/pptx/poi-KEY02.pptx" "$WORK/big.pptx"
python3 "$SHARED/tools/damage.py" cut-central-directory 1 "$WORK/big.pptx" "$WORK/damaged.pptx"
SIZE=$(stat -c %s "$WORK/damaged.pptx")
echo "package: $((SIZE / 1048576)) MiB, central directory cut off"

# Each step's time is the median of five runs (bench/timing.sh).
source bench/timing.sh
clear_outputs() { rm -f "$WORK/copy.pptx" "$WORK/zipff.pptx" "$WORK/repaired.pptx"; }
peak_kb() { /usr/bin/time -f "%M" -o "$WORK/time" "$@" >/dev/null 2>&1 || true; cat "$WORK/time"; }
cat "$WORK/damaged.pptx" >/dev/null   # page cache warm for every contender

copy_once() { cp "$WORK/damaged.pptx" "$WORK/copy.pptx"; }
# zip asks whether the archive is a single-disk one: answer yes.
zipff_once() { yes | zip -FF "$WORK/damaged.pptx" --out "$WORK/zipff.pptx"; }
repair_once() { TMPDIR="$WORK" "$BUILD/deckmend-repair" "$WORK/damaged.pptx" "$WORK/repaired.pptx"; }

copy_s=$(median 5 copy_once)
zipff_s=$(median 5 zipff_once)
run_s=$(median 5 repair_once)
unzip -tq "$WORK/repaired.pptx" >/dev/null && echo "repaired package tests clean with unzip"
run_kb=$(peak_kb env TMPDIR="$WORK" "$BUILD/deckmend-repair" --force "$WORK/damaged.pptx" "$WORK/repaired.pptx")
rm -f "$WORK/copy.pptx" "$WORK/zipff.pptx" "$WORK/repaired.pptx"
sync
bench_csv=$(DECKMEND_BENCH_PACKAGE="$WORK/damaged.pptx" "$BUILD/package_rebuild_bench" --benchmark_format=csv 2>/dev/null)
rebuild=$(echo "$bench_csv" | awk -F, '/BM_RebuildPackage/ {print $3 / 1000; exit}')
checked=$(echo "$bench_csv" | awk -F, '/BM_RepairPackage/ {print $3 / 1000; exit}')
checked_kb=$(peak_kb env DECKMEND_BENCH_PACKAGE="$WORK/damaged.pptx" "$BUILD/package_rebuild_bench" \
  --benchmark_filter=BM_RepairPackage)

printf '%-34s %8s\n' "step (median of 5, page cache warm)" "seconds"
printf '%-34s %8.3f\n' "plain copy (cp)" "$copy_s"
printf '%-34s %8.3f\n' "rebuild step alone (mean of 3)" "$rebuild"
printf '%-34s %8.3f\n' "rebuild with entry check (mean 3)" "$checked"
printf '%-34s %8.3f\n' "deckmend-repair, whole run" "$run_s"
printf '%-34s %8.3f\n' "zip -FF" "$zipff_s"
echo "rebuild / copy: $(echo "$rebuild / $copy_s" | bc -l | cut -c1-5)   (target <= 1.5, and below zip -FF)"
echo "rebuild with check / copy: $(echo "$checked / $copy_s" | bc -l | cut -c1-5)   (target <= 1.5, and below zip -FF)"
echo "peak memory of the rebuild with check: $((checked_kb / 1024)) MiB   (target < 32)"
echo "whole run / copy: $(echo "$run_s / $copy_s" | bc -l | cut -c1-5)   (target <= 3)"
echo "peak memory of the whole run: $((run_kb / 1024)) MiB   (target < 32)"
