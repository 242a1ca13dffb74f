#!/usr/bin/env bash
# The 64-bit Windows build, made on this Linux machine and tested under Wine: installs what is
# missing (MinGW-w64, Wine, NSIS), finds or builds Qt for Windows (tools/build-qt-win64.sh: about
# 40 minutes the first time), builds the program, its tests and its packages in build-win64/,
# and runs the Windows test suites under Wine:
#
#   build-win64/branvik-configurator-<version>-win64.zip        unpack anywhere and run
#   build-win64/branvik-configurator-<version>-win64-setup.exe  installer
#
# BRANVIK_LINUX_PROGRAM=<Linux build's branvik-configurator>: the command-line smoke test
# compares the Windows program's results with it byte for byte. BRANVIK_WINDOWS_TESTS=0 builds
# without running the tests.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-win-deps.sh
qt=$(tools/build-qt-win64.sh)
dir=build-win64
# -O2 rather than CMake's -O3: as fast here, and the tree builds in less time.
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DBRANVIK_BENCH=OFF -DBRANVIK_LINUX_PROGRAM="${BRANVIK_LINUX_PROGRAM:-}"
nice cmake --build "$dir" -j 2
ls -l "$dir"/branvik-configurator-*-win64*
if [ "${BRANVIK_WINDOWS_TESTS:-1}" != 0 ]; then
  QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j 2
fi
