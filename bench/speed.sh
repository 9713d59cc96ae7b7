#!/usr/bin/env bash
# The speed figures, each beside its reference, from one run. Run it on a quiet
# machine after a build:
#   bench/speed.sh [BUILD_DIR]   (default build/)
# 1. deckmend-repair on a package of about 300 MB (a corpus presentation plus
#    one large stored part): with its central directory cut (every part whole),
#    and cut at 90 % (the large part truncated, so the office compares);
# 2. a typical repair: a corpus package with its directory cut, and a binary
#    file with its FAT zeroed against the same without the comparison;
# 3. the wizard: its first visible window (xcb under Xvfb), and the time from
#    Repair to the save page for that binary file in a started wizard;
# 4. the record scans against a plain read of a binary file of about 300 MB.
# Times are medians of several runs with the page cache warm; memory is the
# peak of the summed resident memory of the whole process tree, office included.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:-build}" && pwd)
SHARED=../shared
CORPUS=$SHARED/corpus
DAMAGE=$SHARED/tools/damage.py
WORK=$(mktemp -d "${TMPDIR:-/tmp}/deckmend-speed-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
PACKAGE_SOURCE=$CORPUS/pptx/poi-KEY02.pptx
TYPICAL_PACKAGE=$CORPUS/pptx/oxsdk-Pitchbook_TP10176928.potx
TYPICAL_BINARY=$CORPUS/ppt/omcdf-_Test.ppt

ratio() { echo "$1 / $2" | bc -l | cut -c1-5; }
source bench/timing.sh
clear_outputs() { rm -f "$WORK"/out.* "$WORK"/copy.*; }
# "seconds=… peak_kib=… office_seconds=… exit=…" of one measured run.
measured() { rm -f "$WORK"/out.*; python3 bench/process_tree.py "$@"; }
field() { echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
repair() { TMPDIR="$WORK" "$BUILD/deckmend-repair" --no-progress "$@"; }

echo "== 1. A package of about 300 MB"
python3 bench/big_package.py "$PACKAGE_SOURCE" "$WORK/big.pptx"
python3 "$DAMAGE" cut-central-directory 1 "$WORK/big.pptx" "$WORK/cut.pptx"
python3 "$DAMAGE" truncate-90 1 "$WORK/big.pptx" "$WORK/truncated.pptx"
rm -f "$WORK/big.pptx"
cat "$WORK/cut.pptx" "$WORK/truncated.pptx" >/dev/null  # page cache warm for every contender
copy_s=$(median 5 cp "$WORK/cut.pptx" "$WORK/copy.pptx")
# deckmend-repair flushes its result to the disk before it names it DEST.
copy_sync() { cp "$WORK/cut.pptx" "$WORK/copy.pptx" && sync "$WORK/copy.pptx"; }
copy_sync_s=$(median 5 copy_sync)
cut_s=$(median 5 repair "$WORK/cut.pptx" "$WORK/out.pptx")
cut_m=$(measured env TMPDIR="$WORK" "$BUILD/deckmend-repair" --no-progress "$WORK/cut.pptx" "$WORK/out.pptx")
trunc_m=$(measured env TMPDIR="$WORK" "$BUILD/deckmend-repair" --no-progress "$WORK/truncated.pptx" "$WORK/out.pptx")
printf '%-58s %9s %s\n' "figure" "measured" "reference"
printf '%-58s %8.2fs\n' "plain copy of the package (cp)" "$copy_s"
printf '%-58s %8.2fs\n' "plain copy flushed to the disk (cp; sync FILE)" "$copy_sync_s"
printf '%-58s %8.2fs %s\n' "directory cut: whole deckmend-repair run" "$cut_s" \
  "$(ratio "$cut_s" "$copy_s")x copy (<= 3x), $(ratio "$cut_s" "$copy_sync_s")x flushed copy"
printf '%-58s %7dMiB %s\n' "directory cut: peak memory of the process tree" \
  "$(( $(field "$cut_m" peak_kib) / 1024 ))" "(< 32 MiB)"
trunc_s=$(field "$trunc_m" seconds)
office_s=$(field "$trunc_m" office_seconds)
printf '%-58s %8.2fs %s\n' "one part truncated: whole run (exit $(field "$trunc_m" exit))" "$trunc_s" \
  "$(ratio "$trunc_s" "$copy_s")x copy"
printf '%-58s %8.2fs %s\n' "one part truncated: office running" "$office_s" \
  "$(echo "100 * $office_s / $trunc_s" | bc -l | cut -d. -f1)% of the run"
printf '%-58s %7dMiB\n' "one part truncated: peak memory of the process tree" \
  "$(( $(field "$trunc_m" peak_kib) / 1024 ))"
rm -f "$WORK/cut.pptx" "$WORK/truncated.pptx"

echo
echo "== 2. Typical repairs"
python3 "$DAMAGE" cut-central-directory 1 "$TYPICAL_PACKAGE" "$WORK/typical.potx"
python3 "$DAMAGE" zero-fat 1 "$TYPICAL_BINARY" "$WORK/typical.ppt"
package_s=$(median 5 repair "$WORK/typical.potx" "$WORK/out.potx")
binary_s=$(median 3 repair "$WORK/typical.ppt" "$WORK/out.ppt")
binary_nc_s=$(median 3 repair --no-compare "$WORK/typical.ppt" "$WORK/out.ppt")
printf '%-58s %8.2fs %s\n' "$(basename "$TYPICAL_PACKAGE") ($(( $(stat -c %s "$TYPICAL_PACKAGE") / 1024 )) KiB), directory cut" \
  "$package_s" "(<= 0.2 s)"
printf '%-58s %8.2fs %s\n' "$(basename "$TYPICAL_BINARY") ($(( $(stat -c %s "$TYPICAL_BINARY") / 1024 )) KiB), FAT zeroed" \
  "$binary_s" "(<= $(echo "$binary_nc_s + 1" | bc -l | cut -c1-4) s: --no-compare + 1 s)"
printf '%-58s %8.2fs\n' "the same with --no-compare" "$binary_nc_s"

echo
echo "== 3. The wizard"
windows=()
for _ in 1 2 3; do
  windows+=("$(scripts/measure_first_window.sh "$BUILD" | sed -n 's/first window after \([0-9]*\) ms/\1/p')")
done
first_ms=$(printf '%s\n' "${windows[@]}" | sort -n | sed -n 2p)
printf '%-58s %7dms %s\n' "first visible window (xcb under Xvfb, median of 3)" "$first_ms" "(< 1000 ms)"
warm=$("$BUILD/wizard_repair_timing" "$WORK/typical.ppt" 3 2>&1 | sed -n 's/^repair [0-9]*: \([0-9.]*\) s$/\1/p')
cold=$("$BUILD/wizard_repair_timing" "$WORK/typical.ppt" 3 --cold 2>&1 | sed -n 's/^repair [0-9]*: \([0-9.]*\) s$/\1/p')
printf '%-58s %8.2fs %s\n' "Repair to the save page, office kept warm (median of 3)" \
  "$(echo "$warm" | sort -n | sed -n 2p)" "(each: $(echo $warm))"
printf '%-58s %8.2fs %s\n' "the same with the office ended after each repair" \
  "$(echo "$cold" | sort -n | sed -n 2p)" "(each: $(echo $cold))"

echo
echo "== 4. Record scans over a binary file of about 300 MB (time / plain read; <= 2)"
"$BUILD/ppt_scan_bench" --benchmark_format=json 2>/dev/null | python3 -c '
import json, sys
for run in json.load(sys.stdin)["benchmarks"]:
    name = run["name"].split("/iterations")[0]
    print("%-58s %8.2fs %5.2fx read" % (name, run["real_time"] / 1000, run.get("x_read", 0)))'
