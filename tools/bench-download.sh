#!/usr/bin/env bash
# Throughput of DownloadFile against a bare WinHTTP loop with the same buffer (WinHttpReadData, WriteFile),
# 256 MiB over local TLS, as interleaved pairs (ours, then the baseline), and how much the engine's peak
# memory grows from a 1 MiB download to the 256 MiB one (each figure from a process of its own).
# Prints figures only; it asserts nothing. Its last two lines are the goal lines.
# Needs port 443 free: unshare -n bash -c 'ip link set lo up; bash tools/bench-download.sh'
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=${PAIRS:-7}
big=$((256 * 1024 * 1024))
small=$((1024 * 1024))
source "$root/tools/bench/bench-lib.sh"
bench_build DownloadTimer

work=$build/bench-download
rm -rf "$work"
mkdir -p "$work"
echo "{\"routes\": [{\"path\": \"/bench/big.bin\", \"body_size\": $big}, {\"path\": \"/bench/small.bin\", \"body_size\": $small}]}" \
    >"$work/scenario.json"
bench_start_backend "$work/scenario.json" "$work"
timer=$build/tools/bench/DownloadTimer.exe
big_url=https://localhost/bench/big.bin
small_url=https://localhost/bench/small.bin

field() { sed -n "s/^$1 //p" <<<"$2"; }
run() {
    local out
    out=$(bench_wine "$timer" "$@") || { echo "$out" >&2; echo "DownloadTimer $* failed" >&2; exit 1; }
    echo "$out"
}
run --bare "$small_url" >/dev/null  # warm Wine and the backend before anything is timed

ours=() bare=() ratios=() big_ws=() big_pf=() small_ws=() small_pf=()
for pair in $(seq 1 "$pairs"); do
    out=$(run "$big_url")
    ours+=("$(field sum "$out")") big_ws+=("$(field peak-working-set "$out")") big_pf+=("$(field peak-pagefile "$out")")
    out=$(run --bare "$big_url")
    bare+=("$(field sum "$out")")
    # Throughput ratio of the pair: the baseline's time over ours.
    ratios+=("$(awk -v b="${bare[-1]}" -v o="${ours[-1]}" 'BEGIN { printf "%.4f", b / o }')")
    out=$(run "$small_url")
    small_ws+=("$(field peak-working-set "$out")") small_pf+=("$(field peak-pagefile "$out")")
    echo "pair $pair: DownloadFile ${ours[-1]} ms, bare loop ${bare[-1]} ms, ratio ${ratios[-1]}"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
rate() { awk -v ms="$1" -v b="$big" 'BEGIN { printf "%.1f", b / 1048576 / (ms / 1000) }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1048576 }'; }
growth() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (a - b) / 1048576 }'; }
ours_ms=$(median "${ours[@]}") bare_ms=$(median "${bare[@]}") ratio=$(median "${ratios[@]}")
ws_growth=$(growth "$(median "${big_ws[@]}")" "$(median "${small_ws[@]}")")
pf_growth=$(growth "$(median "${big_pf[@]}")" "$(median "${small_pf[@]}")")
echo
printf '%-52s %12s\n' "DownloadFile, 256 MiB, median (ms)" "$ours_ms"
printf '%-52s %12s\n' "bare WinHTTP loop, same buffer, median (ms)" "$bare_ms"
printf '%-52s %12s\n' "DownloadFile, median (MiB/s)" "$(rate "$ours_ms")"
printf '%-52s %12s\n' "bare WinHTTP loop, median (MiB/s)" "$(rate "$bare_ms")"
printf '%-52s %12s\n' "ratio of the medians (for comparison)" "$(awk -v b="$bare_ms" -v o="$ours_ms" 'BEGIN { printf "%.2f", b / o }')"
printf '%-52s %12s\n' "peak working set, 1 MiB / 256 MiB, medians (MiB)" \
    "$(mib "$(median "${small_ws[@]}")") / $(mib "$(median "${big_ws[@]}")")"
printf '%-52s %12s\n' "peak pagefile usage, 1 MiB / 256 MiB, medians (MiB)" \
    "$(mib "$(median "${small_pf[@]}")") / $(mib "$(median "${big_pf[@]}")")"
echo "($pairs interleaved pairs; ratio = median of the pairs' bare time / our time; $arch build, Wine, backend on loopback)"
echo "download_ratio $(awk -v r="$ratio" 'BEGIN { printf "%.2f", r }') >= 0.97"
# The larger of the two growths: working set and committed memory.
echo "peak_memory_growth_mib $(awk -v a="$ws_growth" -v b="$pf_growth" 'BEGIN { printf "%.2f", (a > b ? a : b) }') <= 16"
