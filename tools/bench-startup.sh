#!/usr/bin/env bash
# Prints the stripped size of the wizard (the i686 program is the one shipped; the x86-64 one beside it)
# and the median time from process start to its first visible window beside a minimal Win32 dialog
# program, in interleaved pairs under the same Wine. Prints figures only; it asserts nothing.
# Last lines: "size_bytes VALUE <= 1200000" and "startup_ratio VALUE <= 1.2".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-9}
source "$root/tools/bench/bench-lib.sh"
bench_build FennixWebSetup MinimalDialog StartTimer
bash "$root/tools/build.sh" i686 FennixWebSetup >/dev/null
bench_start_xvfb

shipped=$(build_dir i686)/FennixWebSetup-stripped.exe
shipped_size=$(stat -c %s "$shipped")
own_size=$(stat -c %s "$build/FennixWebSetup-stripped.exe")
out=$(bench_wine "$build/tools/bench/StartTimer.exe" "$runs" "$(wpath "$build/FennixWebSetup.exe")" \
    "$(wpath "$build/tools/bench/MinimalDialog.exe")") || { echo "$out" >&2; exit 1; }
echo "$out" | grep '^pair' | awk '{ printf "start-up pair %s: wizard %s ms, minimal dialog %s ms\n", $2, $3, $4 }'
read -r wizard_ms minimal_ms <<<"$(echo "$out" | sed -n 's/^median //p')"
ratio=$(awk -v a="$wizard_ms" -v b="$minimal_ms" 'BEGIN { printf "%.2f", a / b }')

printf '%-40s %12s %12s %8s\n' "" "ours" "baseline" "ratio"
printf '%-40s %12s %12s %8s\n' "stripped size, i686 (bytes)" "$shipped_size" "1200000" \
    "$(awk -v a="$shipped_size" 'BEGIN { printf "%.2f", a / 1200000 }')"
printf '%-40s %12s %12s %8s\n' "stripped size, $arch (bytes)" "$own_size" "" ""
printf '%-40s %12s %12s %8s\n' "start to visible window, $arch (ms)" "$wizard_ms" "$minimal_ms" "$ratio"
echo "(medians of $runs interleaved pairs after one warm-up pair, wizard then minimal dialog; Wine, Xvfb)"
echo "size_bytes $shipped_size <= 1200000"
echo "startup_ratio $ratio <= 1.2"
