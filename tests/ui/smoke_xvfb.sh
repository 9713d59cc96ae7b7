#!/usr/bin/env bash
# Smoke test in a real X server: build/deckmend on the xcb platform, started
# with a damaged corpus file on its command line, repairs it; the save dialog
# is answered by keyboard and mouse (xdotool), and the saved file must open in
# the office. Run it under xvfb-run:
#   xvfb-run -a tests/ui/smoke_xvfb.sh BUILD_DIR CORPUS_DIR DAMAGE_TOOL
set -euo pipefail
build=$(cd "$1" && pwd)
corpus=$2
damage=$3

if [ "${DECKMEND_SKIP_REAL_OFFICE:-}" = 1 ]; then
  echo "SKIPPED: DECKMEND_SKIP_REAL_OFFICE=1 (the wizard's start-up needs the office)"
  exit 77
fi

work=$(mktemp -d)
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; xwininfo -root -tree 2>/dev/null | grep -E '"[^"]+"' | head -20 >&2; exit 1; }

# Waits up to $1 seconds for a visible window named $2; prints its id.
wait_window() {
  local seconds=$1 name=$2
  for _ in $(seq $((seconds * 5))); do
    local id
    id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

click() {  # click WINDOW X Y (window coordinates)
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

source_file="$work/damaged deck.pptx"
saved="$work/saved/Repaired deck.pptx"
mkdir -p "$work/saved" "$work/home" "$work/tmp"
python3 "$damage" cut-central-directory 7 "$corpus/pptx/jod-test.pptx" "$source_file"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb
"$build/deckmend" "$source_file" >"$work/deckmend.log" 2>&1 &
app=$!

frame=$(wait_window 60 '^Deckmend$') || fail "no wizard window"
echo "wizard window $frame"
# Repair (the middle of the large action button) once the office check let it be used;
# the save page's Browse sits below the report and the slide preview.
repair_x=446 repair_y=329 browse_x=722 browse_y=291
dialog=""
for _ in $(seq 120); do
  click "$frame" $repair_x $repair_y
  sleep 1
  # The save page's Browse opens the save dialog; on the start and repair
  # pages the spot is empty (an open dialog, should one come, is closed).
  click "$frame" $browse_x $browse_y
  sleep 1
  dialog=$(xdotool search --onlyvisible --name '^Save As' 2>/dev/null | head -1) || true
  [ -n "$dialog" ] && break
  open=$(xdotool search --onlyvisible --name '^Open' 2>/dev/null | head -1) || true
  if [ -n "$open" ]; then
    xdotool windowfocus --sync "$open" 2>/dev/null || true
    xdotool key Escape
  fi
done
[ -n "${dialog:-}" ] || fail "no save dialog after the repair"
echo "save dialog $dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 5 "$saved"
xdotool key Return
sleep 1
click "$frame" $repair_x $repair_y   # Save
box=$(wait_window 30 '^Information') || fail "no message after saving"
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
[ -s "$saved" ] || fail "nothing saved at $saved"
echo "saved $(stat -c %s "$saved") bytes"

# The saved presentation opens in the office: it converts it.
soffice --headless --norestore "-env:UserInstallation=file://$work/office-profile" \
  --convert-to odp --outdir "$work/converted" "$saved" >"$work/convert.log" 2>&1 || true
[ -s "$work/converted/Repaired deck.odp" ] || { cat "$work/convert.log" >&2; fail "the office did not open the saved file"; }
echo "PASS: repaired, saved and opened in the office"
