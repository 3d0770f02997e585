#!/usr/bin/env bash
# Sets the machine up (once), builds everything and runs every test through Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FENNIX_BUILD_DIR:-$root/build}
cache=${FENNIX_CACHE:-/var/cache/fennix-setup}
bash "$root/tools/setup.sh"
FENNIX_BUILD_DIR=$build bash "$root/tools/build.sh"
cd "$build"

selection=()
if [ -f "$cache/i386-emulated" ]; then
    # This kernel cannot start 32-bit programs, so qemu emulates every 32-bit Wine process, and each
    # takes about a minute to start: the whole suite would outrun CI's time. Here the test programs
    # run in the 64-bit prefix, except those that start the wizard or installers again and again, and
    # the configuration, transfer and installer tests, whose threads and time checks do not survive
    # the emulation.
    skipped='\.win32|_e2e_test|wizard_frame_test|install_pages_test|offers_pages_test|config_test|network_test|installer_runner_test|installer_system_test'
    echo "test: 32-bit programs run under emulation on this machine; not run here (they need a kernel with 32-bit support):"
    ctest -N -R "$skipped" -FA ".*" | sed -n 's/^ *Test *#[0-9]*: /  skipped: /p'
    selection=(-E "$skipped")
fi

# The test backend needs port 443 on loopback: a private network namespace keeps it free whatever
# else runs on the machine, and keeps every test's traffic on this machine.
ctest_args=(--output-on-failure -j2 --timeout 900 "${selection[@]}")
if [ "$(id -u)" = 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n bash -c 'ip link set lo up && exec ctest "$@"' ctest "${ctest_args[@]}"
fi
exec ctest "${ctest_args[@]}"
