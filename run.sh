#!/usr/bin/env bash
# Installs what is missing, builds, and starts the wizard.
#   ./run.sh               build and start build/deckmend
#   ./run.sh --build-only  build without starting anything
#   ./run.sh --package     build and make the Debian package (build/package/deckmend_*.deb)
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh

[ "${1:-}" = "--build-only" ] && exit 0
if [ "${1:-}" = "--package" ]; then
  cmake --build build --target deb
  ls build/package/deckmend_*.deb
  exit 0
fi

if [ -x build/deckmend ]; then
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No graphical display here: the wizard needs one. To look at its pages instead:"
    echo "  cmake --build build --target wizard-screenshots   # writes build/screenshots/*.png"
    exit 1
  fi
  exec build/deckmend
fi
cat <<'MSG'
The wizard (build/deckmend) is not built yet. Repair a file from the command line:

  build/deckmend-repair DAMAGED.pptx REPAIRED.pptx

Exit status: 0 repaired, 1 the repair failed (the reason is printed), 2 usage error.
MSG
