#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when some are missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins libzip-dev libgsf-1-dev zlib1g-dev libxml2-dev libdeflate-dev
  fonts-dejavu fonts-liberation fonts-crosextra-carlito
  python3 zip unzip time bc nlohmann-json3-dev
  libapache-poi-java default-jdk-headless
  libreoffice-impress-nogui libreoffice-dev
  clang libclang-rt-dev
  xvfb xauth x11-utils xdotool
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
