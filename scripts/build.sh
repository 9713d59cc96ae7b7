#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
# A compiler cache, when the machine has one, shares objects between builds and checkouts.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "${launcher[@]}" "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
