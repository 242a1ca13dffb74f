#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with ctest; as root, also
# builds the Debian package from that build, installs, starts and removes it.
# Set BRANVIK_SANITIZE=ON to build and test with AddressSanitizer and UBSan (in build-asan/).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
# The code keeps one formatting: any file that differs from .clang-format fails the run.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
sanitize="${BRANVIK_SANITIZE:-OFF}"
dir=build-test
[ "$sanitize" = "ON" ] && dir=build-asan
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRANVIK_SANITIZE="$sanitize"
cmake --build "$dir" -j 2
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j 2
# The package test installs into this machine: root only, and not for a sanitizer build.
if [ "$sanitize" = "ON" ]; then
  echo "Package test skipped: it packages the plain build, not the sanitizer build."
else
  tests/package_test.sh "$dir"
fi
