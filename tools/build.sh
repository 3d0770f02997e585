#!/usr/bin/env bash
# Configures (once) and builds one build: tools/build.sh i686|x86_64 [TARGET...]. Each build has its
# own toolchain file and folder (build/i686, build/x86_64, or under $FENNIX_BUILD_ROOT).
set -euo pipefail
source "$(dirname "$0")/machine.sh"
arch=${1:?usage: build.sh i686|x86_64 [target...]}
shift
case $arch in i686|x86_64) ;; *) echo "build: unknown build $arch" >&2; exit 2 ;; esac
build=$(build_dir "$arch")
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so that another clone (CI's) hits the same cache.
    export CCACHE_DIR=${CCACHE_DIR:-$FENNIX_CACHE/ccache} CCACHE_BASEDIR=$fennix_root CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$fennix_root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$fennix_root/cmake/toolchain-$arch-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DFENNIX_DEPS_DIR="$FENNIX_CACHE" "${launcher[@]}" >/dev/null
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
