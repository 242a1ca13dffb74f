#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, if any is missing (dpkg-dev,
# desktop-file-utils, appstream and lintian for the package test: dpkg-shlibdeps and the
# validators).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools libqt6test6 qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev libgsf-1-dev
  dpkg-dev desktop-file-utils appstream lintian
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
