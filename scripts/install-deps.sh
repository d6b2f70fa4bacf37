#!/usr/bin/env bash
# Installs the Debian packages the project needs; does nothing when they are all present.
set -euo pipefail
packages=(
  build-essential cmake g++ clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  libcli11-dev nlohmann-json3-dev libpng-dev libgif-dev
  qt6-base-dev libgl-dev
  imagemagick python3-pil xvfb xauth x11-utils xdotool
  desktop-file-utils appstream libxml2-utils shared-mime-info xdg-utils libglib2.0-bin
  man-db bash-completion librsvg2-bin gzip file dpkg-dev fakeroot lintian
  zip unzip time
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
