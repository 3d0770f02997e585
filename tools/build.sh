#!/usr/bin/env bash
# Configures (once) and builds the project for 32-bit Windows into build/ (or $FENNIX_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FENNIX_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@"
fi
cmake --build "$build" -j"$(nproc)"
