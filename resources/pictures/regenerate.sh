#!/usr/bin/env bash
# Redraws the pictures in this folder with the generator and shows what changed.
# Usage: resources/pictures/regenerate.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${1:-build}
cmake --build "$BUILD_DIR" --target deckmend-draw-pictures -j2
"$BUILD_DIR"/deckmend-draw-pictures resources/pictures
git status --short resources/pictures
