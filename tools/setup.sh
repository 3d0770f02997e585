#!/usr/bin/env bash
# One-time machine setup for building and testing the wizard: packages, sources of
# the cross-built libraries, Wine prefixes. Safe to run again; every step is cached.
set -euo pipefail

CACHE=${FENNIX_CACHE:-/var/cache/fennix-setup}
mkdir -p "$CACHE"
stamp() { [ -f "$CACHE/$1.done" ]; }
done_() { touch "$CACHE/$1.done"; }

packages=(wine wine64 libc6-i386 g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix
          mingw-w64-x86-64-dev cmake make xvfb xauth x11-utils python3 openssl ca-certificates imagemagick
          nlohmann-json3-dev googletest dpkg-dev iproute2 util-linux procps ccache python3-pefile
          osslsigncode)

missing() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 0
    done
    return 1
}
install() {
    if missing "$@" || ! stamp apt-update; then
        [ -f "$CACHE/apt-update.done" ] || { apt-get update -qq; done_ apt-update; }
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null
    fi
}

if [ -f /etc/apt/sources.list.d/debian.sources ] && [ ! -f /etc/apt/sources.list.d/debian-src.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/debian-src.sources
    rm -f "$CACHE/apt-update.done"
elif [ ! -f /etc/apt/sources.list.d/debian.sources ] && ! grep -rqs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/debian-src.list
    rm -f "$CACHE/apt-update.done"
fi
install "${packages[@]}"

# Some kernels start no 32-bit program ("Exec format error"), so Wine's 32-bit side cannot run there.
# Such a machine builds both programs but runs only the x86-64 one, natively, in a 64-bit prefix made
# without the 32-bit side. Earlier setups registered qemu to emulate it: that entry goes, since
# emulated runs are slow and crash at random, and it would hide what the kernel can do.
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/qemu-i386" ] && echo -1 >"$binfmt/qemu-i386"
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    rm -f "$CACHE/no-32bit"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        rm -f "$CACHE/apt-update.done"
    fi
    install wine32:i386
else
    touch "$CACHE/no-32bit"
fi

# Library sources from Debian's source packages; CMake cross-builds them with the project.
mkdir -p "$CACHE/src"
# A mirror may lack the newest source of a package: fall back to the other listed versions.
fetch_source() {
    local pkg=$1 v
    (cd "$CACHE/src" && apt-get source -qq "$pkg" >/dev/null 2>&1) && return 0
    for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -u -r); do
        (cd "$CACHE/src" && apt-get source -qq "$pkg=$v" >/dev/null 2>&1) && return 0
    done
    echo "setup: cannot fetch the source of $pkg" >&2
    return 1
}
for pkg in tinyxml2 zlib; do
    ls -d "$CACHE/src/$pkg"-*/ >/dev/null 2>&1 || fetch_source "$pkg"
done
ln -sfn "$(ls -d "$CACHE"/src/tinyxml2-*/ | head -n1)" "$CACHE/src/tinyxml2"
ln -sfn "$(ls -d "$CACHE"/src/zlib-*/ | head -n1)" "$CACHE/src/zlib"

# The cross compiler gets a folder with only the json headers, never /usr/include.
mkdir -p "$CACHE/include"
ln -sfn /usr/include/nlohmann "$CACHE/include/nlohmann"

# Wine prefixes: 64-bit Windows (the x86-64 program natively, the 32-bit one under WOW64) and, where
# 32-bit programs run, 32-bit Windows. The 64-bit loader is called by its path: /usr/bin/wine picks
# the 32-bit one whenever wine32 is installed, and that one cannot start on every machine.
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
make_prefix() {
    local dir=$1 arch=$2 loader=/usr/lib/wine/wine64
    [ -f "$dir/.fennix-ready" ] && return 0
    [ "$arch" = win32 ] && loader=/usr/lib/wine/wine
    rm -rf "$dir"
    # Without a 32-bit side wineboot complains that it cannot start syswow64's rundll32: harmless.
    WINELOADER=$loader WINEARCH=$arch WINEPREFIX="$dir" "$loader" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$dir" wineserver -w
    [ -f "$dir/system.reg" ] || { echo "setup: no Wine prefix was made in $dir" >&2; exit 1; }
    # A crash must fail its test at once, not wait behind Wine's crash dialog until the time limit.
    WINELOADER=$loader WINEPREFIX="$dir" "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f >/dev/null 2>&1
    WINEPREFIX="$dir" wineserver -w
    grep -q '^"ShowCrashDialog"=dword:00000000' "$dir/user.reg" || { echo "setup: $dir is incomplete" >&2; exit 1; }
    touch "$dir/.fennix-ready"
}
make_prefix "$CACHE/wine64" win64
[ -f "$CACHE/no-32bit" ] || make_prefix "$CACHE/wine32" win32
# The local test backend's throwaway CA, trusted system-wide (Wine uses the system store), and the
# throwaway code-signing certificate from it that tools/build.sh passes to the builds.
FENNIX_CACHE=$CACHE bash "$(dirname "$0")/backend/make-ca.sh"
echo "setup: ready ($CACHE)"
