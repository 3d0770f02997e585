#!/usr/bin/env bash
# Prints the stripped size of the release wizard and its median start-up time (process start to the
# window being visible) beside a minimal Win32 dialog program under the same Wine, with the ratios.
# Prints figures only; it asserts nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-9}
source "$root/tools/bench/bench-lib.sh"
bench_build FennixWebSetup MinimalDialog StartTimer
trap - EXIT
display=""
for n in $(seq 200 299); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null || true' EXIT
export DISPLAY=":$display"
for _ in $(seq 1 100); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

"$([ "$arch" = i686 ] && echo i686 || echo x86_64)-w64-mingw32-strip" -o "$build/MinimalDialog-stripped.exe" "$build/tools/bench/MinimalDialog.exe"
wizard_size=$(stat -c %s "$build/FennixWebSetup-stripped.exe")
minimal_size=$(stat -c %s "$build/MinimalDialog-stripped.exe")
"$wine" "$build/tools/bench/StartTimer.exe" "$(wpath "$build/tools/bench/MinimalDialog.exe")" 1 >/dev/null  # warm the wineserver
minimal_ms=$("$wine" "$build/tools/bench/StartTimer.exe" "$(wpath "$build/tools/bench/MinimalDialog.exe")" "$runs" | tr -d '\r')
wizard_ms=$("$wine" "$build/tools/bench/StartTimer.exe" "$(wpath "$build/FennixWebSetup.exe")" "$runs" | tr -d '\r')

printf '%-28s %12s %12s %8s\n' "" "wizard" "minimal" "ratio"
printf '%-28s %12s %12s %8s\n' "stripped size (bytes)" "$wizard_size" "$minimal_size" \
    "$(awk -v a="$wizard_size" -v b="$minimal_size" 'BEGIN { printf "%.1f", a / b }')"
printf '%-28s %12s %12s %8s\n' "median start to window (ms)" "$wizard_ms" "$minimal_ms" \
    "$(awk -v a="$wizard_ms" -v b="$minimal_ms" 'BEGIN { printf "%.2f", a / b }')"
echo "($runs runs each, 64-bit Wine prefix, Xvfb)"
