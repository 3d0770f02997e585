#!/usr/bin/env bash
# Sets the machine up (once), builds everything and runs every test through Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FENNIX_BUILD_DIR:-$root/build}
bash "$root/tools/setup.sh"
FENNIX_BUILD_DIR=$build bash "$root/tools/build.sh"
cd "$build"
ctest --output-on-failure -j2 --timeout 600
