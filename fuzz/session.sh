#!/usr/bin/env bash
# A long fuzz session of one target, outside the tests:
#   fuzz/session.sh BUILD_DIR TARGET SECONDS [WORK_DIR]
# Starts from the target's seeds, its crash fixtures and the files of the shared
# corpus of its kind; new inputs and crashes go to WORK_DIR (default
# BUILD_DIR/sessions/TARGET).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
target=$2
seconds=$3
work=${4:-$build/sessions/$target}
corpus=${DECKMEND_CORPUS:-$here/../../shared/corpus}

case "$target" in
  package_rebuild) kinds=(pptx variants/pptx) ;;
  *) kinds=(ppt variants/ppt) ;;
esac
inputs=("$here/seeds/$target")
[ -d "$here/crashes/$target" ] && inputs+=("$here/crashes/$target")
for kind in "${kinds[@]}"; do
  [ -d "$corpus/$kind" ] && inputs+=("$corpus/$kind")
done

mkdir -p "$work/corpus" "$work/artifacts"
exec nice "$build/fuzz_$target" -max_total_time="$seconds" -max_len=131072 -timeout=30 \
  -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "${inputs[@]}"
