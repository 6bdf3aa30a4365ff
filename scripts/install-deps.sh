#!/usr/bin/env bash
# Installs what building and testing Velmora needs on Debian 12, when missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libgtest-dev libbenchmark-dev unzip
          clang libclang-rt-14-dev qt6-base-dev qt6-svg-dev qt6-translations-l10n libxlsxwriter-dev
          libusb-1.0-0-dev python3
          dpkg-dev file desktop-file-utils appstream lintian librsvg2-bin
          xvfb xauth fonts-dejavu-core poppler-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO=sudo
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
