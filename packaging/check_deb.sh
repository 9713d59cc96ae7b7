#!/usr/bin/env bash
# Builds the Debian package, extracts it into a temporary root (as dpkg would
# install it, without touching the system) and repairs a damaged corpus file
# with the extracted deckmend-repair. Usage:
#   packaging/check_deb.sh BUILD_DIR CORPUS_DIR DAMAGE_TOOL
set -euo pipefail
build=$(cd "$1" && pwd)
corpus=$2
damage=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -f "$build"/package/deckmend_*.deb
(cd "$build" && cpack -G DEB --config "$build/CPackConfig.cmake" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$build"/package/deckmend_*.deb)
echo "package: $deb"

fail() { echo "FAIL: $*" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libreoffice-impress libqt6widgets6 libgsf-1-114 libuno-cppu3; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/deckmend usr/bin/deckmend-repair \
            usr/share/deckmend/Settings.INI usr/share/deckmend/Tips.Txt \
            usr/share/deckmend/Lang/English.INI usr/share/deckmend/Lang/German.INI \
            usr/share/deckmend/Tips/Italian.Txt usr/share/deckmend/help/English.html \
            usr/share/deckmend/help/Spanish.html usr/share/deckmend/pictures/102.png \
            usr/share/applications/deckmend.desktop usr/share/icons/hicolor/256x256/apps/deckmend.png; do
  [ -e "$root/$file" ] || fail "missing $file"
done
grep -qx 'Exec=deckmend %f' "$root/usr/share/applications/deckmend.desktop" || fail "desktop entry does not start deckmend %f"
grep -qx 'Icon=deckmend' "$root/usr/share/applications/deckmend.desktop" || fail "desktop entry has no icon name"

# Its texts come from the language files under ../share/deckmend.
head -c 512 /dev/zero | tr '\0' x >"$work/small.ppt"
message=$(HOME="$work/home" "$root/usr/bin/deckmend-repair" "$work/small.ppt" "$work/small-out.ppt" 2>&1) && fail "a 512-byte file was repaired"
[[ $message == *"too small to contain a PowerPoint presentation"* ]] || fail "no text from the language file: $message"

python3 "$damage" cut-central-directory 7 "$corpus/pptx/jod-test.pptx" "$work/damaged deck.pptx"
# The extracted program finds its files under ../share/deckmend; HOME is private.
HOME="$work/home" TMPDIR="$work" "$root/usr/bin/deckmend-repair" "$work/damaged deck.pptx" "$work/repaired.pptx" \
  || fail "deckmend-repair exited with $?"
python3 - "$work/repaired.pptx" "$corpus/pptx/jod-test.pptx" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as repaired, zipfile.ZipFile(sys.argv[2]) as original:
    assert repaired.testzip() is None, "a damaged entry"
    assert sorted(repaired.namelist()) == sorted(original.namelist()), "entries differ"
print("repaired package holds every entry")
PY
echo "PASS: $deb installs and repairs"
