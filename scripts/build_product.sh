#!/usr/bin/env bash
# Cross-builds the two product modules into dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DGAUGE_DIST_DIR="$PWD/dist" >/dev/null
ninja -C build/windows
