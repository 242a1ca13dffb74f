#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor from the build folder, where the
# example catalogue (Setting/) sits beside the executable and the example game folder is
# build/example-gamedata.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRANVIK_TESTS=OFF -DBRANVIK_BENCH=OFF
# Everything that cmake --install installs: the program, its catalogue and its documents.
cmake --build build -j 2 --target branvik-configurator example_data program_docs
exec build/branvik-configurator "$@"
