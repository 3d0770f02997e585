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
# The programs are signed with the certificate in FENNIX_SIGN_PKCS12 (password FENNIX_SIGN_PASSWORD),
# else with setup's throwaway one where it exists (cmake/Sign.cmake).
if [ -z "${FENNIX_SIGN_PKCS12:-}" ] && [ -s "$FENNIX_CACHE/ca/codesign.p12" ]; then
    FENNIX_SIGN_PKCS12=$FENNIX_CACHE/ca/codesign.p12
    FENNIX_SIGN_PASSWORD=$(cat "$FENNIX_CACHE/ca/codesign.pass")
fi
signing=()
[ -n "${FENNIX_SIGN_PKCS12:-}" ] &&
    signing=(-DFENNIX_SIGN_PKCS12="$FENNIX_SIGN_PKCS12" -DFENNIX_SIGN_PASSWORD="${FENNIX_SIGN_PASSWORD:-}")
signed_as() {  # the build already signs with this certificate and password
    grep -qxF "FENNIX_SIGN_PKCS12:FILEPATH=$FENNIX_SIGN_PKCS12" "$build/CMakeCache.txt" &&
        grep -qxF "FENNIX_SIGN_PASSWORD:STRING=${FENNIX_SIGN_PASSWORD:-}" "$build/CMakeCache.txt"
}
if [ ! -f "$build/CMakeCache.txt" ] || { [ ${#signing[@]} -gt 0 ] && ! signed_as; }; then
    cmake -S "$fennix_root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$fennix_root/cmake/toolchain-$arch-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DFENNIX_DEPS_DIR="$FENNIX_CACHE" "${launcher[@]}" "${signing[@]}" >/dev/null
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
