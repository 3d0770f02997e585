#!/usr/bin/env bash
# One-time machine setup for building and testing the wizard: packages, sources of
# the cross-built libraries, Wine prefixes. Safe to run again; every step is cached.
set -euo pipefail

CACHE=${FENNIX_CACHE:-/var/cache/fennix-setup}
mkdir -p "$CACHE"
stamp() { [ -f "$CACHE/$1.done" ]; }
done_() { touch "$CACHE/$1.done"; }

packages=(wine wine32:i386 wine64 g++-mingw-w64-i686-posix mingw-w64-i686-dev
          cmake make xvfb xauth x11-utils python3 openssl ca-certificates imagemagick
          nlohmann-json3-dev googletest dpkg-dev iproute2 util-linux procps)

missing() {
    local p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 0
    done
    return 1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    rm -f "$CACHE/apt-update.done"
fi
if [ -f /etc/apt/sources.list.d/debian.sources ] && [ ! -f /etc/apt/sources.list.d/debian-src.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/debian-src.sources
    rm -f "$CACHE/apt-update.done"
elif [ ! -f /etc/apt/sources.list.d/debian.sources ] && ! grep -rqs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/debian-src.list
    rm -f "$CACHE/apt-update.done"
fi
if missing || ! stamp apt-update; then
    apt-get update -qq
    done_ apt-update
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
fi

# A kernel built without 32-bit support cannot start Wine's 32-bit loader ("Exec format error"), and
# under WOW64 every 32-bit Windows program needs it: qemu's user-mode emulator runs such binaries
# through binfmt_misc instead. Slower, but the same Wine and the same programs.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    [ -e "$binfmt/qemu-i386" ] || printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >"$binfmt/register"
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "setup: this machine cannot run 32-bit programs" >&2; exit 1; }
fi

# A kernel built without 32-bit support cannot start Wine's 32-bit loader ("Exec format error"), and
# under WOW64 every 32-bit Windows program needs it: qemu's user-mode emulator runs such binaries
# through binfmt_misc instead. Slower, but the same Wine and the same programs.
binfmt=/proc/sys/fs/binfmt_misc
if [ -e "$binfmt/qemu-i386" ] || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
    fi
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    [ -e "$binfmt/qemu-i386" ] || printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >"$binfmt/register"
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "setup: this machine cannot run 32-bit programs" >&2; exit 1; }
    touch "$CACHE/i386-emulated"
else
    rm -f "$CACHE/i386-emulated"
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

# Wine prefixes: 64-bit Windows (the 32-bit program runs under WOW64) and 32-bit Windows.
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
make_prefix() {
    local dir=$1 arch=$2
    [ -f "$dir/.fennix-ready" ] && return 0
    rm -rf "$dir"
    if [ "$arch" = win32 ]; then
        WINEARCH=win32 WINEPREFIX="$dir" wineboot -i >/dev/null 2>&1
    else
        WINEARCH=win64 WINEPREFIX="$dir" wineboot -i >/dev/null 2>&1
    fi
    WINEPREFIX="$dir" wineserver -w
    touch "$dir/.fennix-ready"
}
# A crash must fail its test at once, not wait behind Wine's crash dialog until the time limit; prefixes
# made before this setting get it too.
no_crash_dialog() {
    local dir=$1
    grep -q '^"ShowCrashDialog"=dword:00000000' "$dir/user.reg" 2>/dev/null && return 0
    WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    WINEPREFIX="$dir" wineserver -w
}
make_prefix "$CACHE/wine64" win64
no_crash_dialog "$CACHE/wine64"
# Under emulation a 32-bit prefix is all emulated: it takes longer to make than CI has, and the tests
# do not use it there (tools/test.sh).
if [ ! -f "$CACHE/i386-emulated" ]; then
    make_prefix "$CACHE/wine32" win32
    no_crash_dialog "$CACHE/wine32"
fi
# The local test backend's throwaway CA, trusted system-wide (Wine uses the system store).
FENNIX_CACHE=$CACHE bash "$(dirname "$0")/backend/make-ca.sh"
echo "setup: ready ($CACHE)"
