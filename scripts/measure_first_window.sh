#!/usr/bin/env bash
# Starts the wizard on the xcb platform in a private X server (Xvfb) and prints
# the milliseconds until its first window is mapped. Usage:
#   scripts/measure_first_window.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
display=":$((100 + RANDOM % 800))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
home=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
for _ in $(seq 100); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.05; done

start=$(date +%s%N)
HOME="$home" XDG_CONFIG_HOME="$home/.config" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  "$BUILD_DIR/deckmend" >"${MEASURE_LOG:-/dev/null}" 2>&1 &
app=$!
while kill -0 "$app" 2>/dev/null; do
  if xwininfo -display "$display" -name Deckmend 2>/dev/null | grep -q "IsViewable"; then
    echo "first window after $(( ($(date +%s%N) - start) / 1000000 )) ms"
    exit 0
  fi
  sleep 0.01
done
echo "the wizard ended before showing a window" >&2
exit 1
