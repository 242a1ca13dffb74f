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
# The Windows build and its suites under Wine, when the Qt for Windows tree is at hand (building
# it takes some 40 minutes, which a test run does not spend; with it, this part takes about 12
# minutes); the command line's results are compared byte for byte with this Linux build's.
qt_win=""
for tree in ../shared/toolchains/qt-6.4.2-win64 \
            "${XDG_CACHE_HOME:-$HOME/.cache}/branvik-configurator/qt-6.4.2-win64"; do
  if [ -f "$tree/.branvik-qt-win64-complete" ]; then
    qt_win=$(realpath "$tree")
    break
  fi
done
# BRANVIK_WINDOWS=0 leaves that part out.
if [ "$sanitize" = "ON" ]; then
  echo "Windows build skipped: the sanitizer run is about the Linux build."
elif [ "${BRANVIK_WINDOWS:-1}" = 0 ]; then
  echo "Windows build SKIPPED: BRANVIK_WINDOWS=0."
elif [ -z "$qt_win" ]; then
  echo "Windows build SKIPPED: no Qt for Windows tree (../shared/toolchains/qt-6.4.2-win64 or"
  echo "the cache); tools/build-qt-win64.sh builds one, then ./build-windows.sh or this script."
else
  start=$(date +%s)
  BRANVIK_QT_WIN64=$qt_win BRANVIK_LINUX_PROGRAM=$(realpath "$dir/branvik-configurator") \
    ./build-windows.sh
  echo "Windows build and suites under Wine: $(( $(date +%s) - start )) s"
fi
# The package test installs into this machine: root only, and not for a sanitizer build.
if [ "$sanitize" = "ON" ]; then
  echo "Package test skipped: it packages the plain build, not the sanitizer build."
else
  tests/package_test.sh "$dir"
fi
