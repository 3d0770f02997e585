#!/usr/bin/env bash
# Prints the stripped size of the wizard (the i686 program is the one shipped; the x86-64 one beside it)
# and the median time from process start to its first visible window beside a minimal Win32 dialog
# program, in interleaved pairs under the same Wine. Beside them, for information, the same minimal dialog
# with the wizard's manifest: what common controls 6 and the rest of the manifest cost any program.
# Prints figures only; it asserts nothing.
# Last lines: "size_bytes VALUE <= 1200000" and "startup_ratio VALUE <= 1.2".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-9}
source "$root/tools/bench/bench-lib.sh"
bench_build FennixWebSetup MinimalDialog MinimalDialogManifest StartTimer
bash "$root/tools/build.sh" i686 FennixWebSetup >/dev/null
bench_start_xvfb

shipped=$(build_dir i686)/FennixWebSetup-stripped.exe
shipped_size=$(stat -c %s "$shipped")
own_size=$(stat -c %s "$build/FennixWebSetup-stripped.exe")
out=$(bench_wine "$build/tools/bench/StartTimer.exe" "$runs" "$(wpath "$build/FennixWebSetup.exe")" \
    "$(wpath "$build/tools/bench/MinimalDialog.exe")" "$(wpath "$build/tools/bench/MinimalDialogManifest.exe")") ||
    { echo "$out" >&2; exit 1; }
echo "$out" | grep '^round' |
    awk '{ printf "start-up round %s: wizard %s ms, minimal dialog %s ms, with the manifest %s ms\n", $2, $3, $4, $5 }'
read -r wizard_ms minimal_ms manifest_ms <<<"$(echo "$out" | sed -n 's/^median //p')"
ratio_of() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ratio=$(ratio_of "$wizard_ms" "$minimal_ms")

printf '%-44s %12s %12s %8s\n' "" "ours" "baseline" "ratio"
printf '%-44s %12s %12s %8s\n' "stripped size, i686 (bytes)" "$shipped_size" "1200000" \
    "$(awk -v a="$shipped_size" 'BEGIN { printf "%.2f", a / 1200000 }')"
printf '%-44s %12s %12s %8s\n' "stripped size, $arch (bytes)" "$own_size" "" ""
printf '%-44s %12s %12s %8s\n' "start to visible window, $arch (ms)" "$wizard_ms" "$minimal_ms" "$ratio"
printf '%-44s %12s %12s %8s\n' "  minimal dialog with the wizard's manifest" "$manifest_ms" "$minimal_ms" \
    "$(ratio_of "$manifest_ms" "$minimal_ms")"
printf '%-44s %12s %12s %8s\n' "  wizard beside that dialog" "$wizard_ms" "$manifest_ms" \
    "$(ratio_of "$wizard_ms" "$manifest_ms")"
echo "(medians of $runs interleaved rounds after one warm-up round: wizard, minimal dialog, the same with"
echo " the wizard's manifest; Wine, Xvfb)"
echo "size_bytes $shipped_size <= 1200000"
echo "startup_ratio $ratio <= 1.2"
