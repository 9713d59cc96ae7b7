#!/usr/bin/env bash
# Runs a fuzz target once over every file of the given folders (seeds and crash
# fixtures); any crash, sanitizer report or hang fails the test.
set -euo pipefail
target=$1
shift
files=()
for folder in "$@"; do
  [ -d "$folder" ] || continue
  while IFS= read -r -d '' file; do files+=("$file"); done < <(find "$folder" -type f -print0 | sort -z)
done
[ ${#files[@]} -gt 0 ] || { echo "no inputs"; exit 0; }
exec "$target" -timeout=60 "${files[@]}"
