# Sourced by the scripts after tools/setup.sh: which build this machine runs, where each build lives and
# how Wine starts it.
#   FENNIX_CACHE   what setup keeps (packages' sources, Wine prefixes, the test CA, ccache)
#   run_arch       i686 where the kernel starts 32-bit programs, x86_64 where it does not
#   build_dir ARCH the build folder of one build ($FENNIX_BUILD_ROOT/ARCH, default build/ARCH)
#   use_wine ARCH  sets $wine to the Wine loader for a build's programs: the 64-bit loader (exported as
#                  WINELOADER) for x86_64, since /usr/bin/wine picks the 32-bit one whenever wine32 is
#                  installed
FENNIX_CACHE=${FENNIX_CACHE:-/var/cache/fennix-setup}
fennix_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -f "$FENNIX_CACHE/no-32bit" ]; then run_arch=x86_64; else run_arch=i686; fi
build_dir() { echo "${FENNIX_BUILD_ROOT:-$fennix_root/build}/$1"; }
use_wine() {
    if [ "$1" = x86_64 ]; then
        wine=/usr/lib/wine/wine64
        export WINELOADER=$wine
    else
        wine=/usr/bin/wine
    fi
}
