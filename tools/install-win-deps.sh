#!/usr/bin/env bash
# Installs the Debian 12 packages for the Windows build, if any is missing: the MinGW-w64
# cross compiler (posix threads variant), Wine, Xvfb and fonts to run the result, NSIS and zip to
# package it, and what tools/build-qt-win64.sh needs to build Qt (dpkg-dev for dpkg-source, the
# Linux Qt as host Qt: moc, rcc, uic).
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth fonts-dejavu-core nsis zip
  cmake ninja-build perl python3 dpkg-dev qt6-base-dev qt6-base-dev-tools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
