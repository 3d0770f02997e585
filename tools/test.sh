#!/usr/bin/env bash
# Sets the machine up (once), builds everything and runs every test through Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FENNIX_BUILD_DIR:-$root/build}
bash "$root/tools/setup.sh"
FENNIX_BUILD_DIR=$build bash "$root/tools/build.sh"
cd "$build"
# The test backend needs port 443 on loopback: a private network namespace keeps it free whatever
# else runs on the machine, and keeps every test's traffic on this machine.
if [ "$(id -u)" = 0 ] && unshare -n true 2>/dev/null; then
    exec unshare -n bash -c 'ip link set lo up && exec ctest --output-on-failure -j2 --timeout 600'
fi
exec ctest --output-on-failure -j2 --timeout 600
