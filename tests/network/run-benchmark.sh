#!/usr/bin/env bash
# Downloads a 256 MiB body from the local backend with DownloadFile, a bare WinHTTP loop and curl,
# and prints MB/s, the ratios and the program's peak memory. Needs port 443 free and a built build folder.
# Usage: run-benchmark.sh <build dir> [wine prefix]
set -eu
build=$(cd "$1" && pwd)
prefix=${2:-$build/../wine-bench-prefix}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
size=$((256 * 1024 * 1024))
trap '"$here/backend-stop.sh" "$work" >/dev/null 2>&1; rm -rf "$work"' EXIT

"$here/backend-start.sh" "$work" "$root/tools/backend/server.py" >/dev/null
echo "{\"routes\": [{\"path\": \"/bench.bin\", \"body_size\": $size}]}" >"$work/scenario.json"

# The x86-64 build runs through Wine's 64-bit loader.
grep -q 'toolchain-x86_64' "$build/CMakeCache.txt" && export FENNIX_WINE=/usr/lib/wine/wine64
[ -d "$prefix" ] || cp -a "${FENNIX_WINE_PREFIX:-/var/cache/fennix-setup/wine64}" "$prefix"
out=$(WINEPREFIX=$prefix "$root/tools/wine-run.sh" "$build/tests/download_benchmark.exe" /bench.bin)
echo "$out" | grep -v '^engine-rate'
engine=$(echo "$out" | sed -n 's/^engine-rate //p' | tr -d '\r')

start=$(date +%s.%N)
curl -s -o /dev/null https://localhost/bench.bin
end=$(date +%s.%N)
curl_rate=$(echo "$size / ($end - $start) / 1000000" | bc -l)
printf 'curl: %.1f MB/s\n' "$curl_rate"
printf 'DownloadFile / curl: %.2f\n' "$(echo "$engine / $curl_rate" | bc -l)"
