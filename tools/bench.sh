#!/usr/bin/env bash
# Every benchmark in one command: builds what each needs, runs each as interleaved pairs (ours, then
# its baseline), prints their tables of medians and, last, one line per goal in the form
# "NAME VALUE <= GOAL" or "NAME VALUE >= GOAL" (VALUE is n/a where a benchmark gave none).
# Prints figures only; it asserts nothing. RUNS (default 7) sets the pairs of each benchmark.
# The network benchmarks need port 443: the script runs itself in a network namespace of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${FENNIX_BENCH_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec unshare -n env FENNIX_BENCH_NETNS=1 bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi
export RUNS=${RUNS:-7}
source "$root/tools/bench/bench-lib.sh"
log=$build/bench
mkdir -p "$log"

goals=(size_bytes startup_ratio download_ratio eligibility_ratio offers50_ratio install_ratio peak_memory_growth_mib)
declare -A goal_of=([size_bytes]="<= 1200000" [startup_ratio]="<= 1.2" [download_ratio]=">= 0.97"
    [eligibility_ratio]="<= 1.5" [offers50_ratio]="<= 1.3" [install_ratio]="<= 1.1" [peak_memory_growth_mib]="<= 16")
declare -A value_of source_of
failed=()

# run <name> <command...>: its output is shown and kept; its goal lines are collected (the last wins).
run() {
    local name=$1 rc=0 line
    shift
    echo
    echo "== $name"
    "$@" 2>&1 | tee "$log/$name.txt" || rc=${PIPESTATUS[0]}
    [ "$rc" = 0 ] || failed+=("$name (exit $rc)")
    while read -r line; do
        set -- $line
        value_of[$1]=$2
        source_of[$1]=$name
    done < <(grep -E '^[a-z0-9_]+ [^ ]+ (<=|>=) [0-9.]+$' "$log/$name.txt" || true)
}

run startup env RUNS="${STARTUP_RUNS:-11}" bash "$root/tools/bench-startup.sh"
[ ! -f "$root/tools/bench-download.sh" ] || run download bash "$root/tools/bench-download.sh"
bench_build BenchEligibility
bench_wine_used=1
run eligibility bench_wine "$build/tools/bench/BenchEligibility.exe"
run offers bash "$root/tools/bench-offers.sh"
run install bash "$root/tools/bench-install.sh"

echo
printf '%-24s %12s %14s %-8s %s\n' "goal" "value" "goal" "build" "from"
for name in "${goals[@]}"; do
    build_of=$arch
    [ "$name" != size_bytes ] || build_of=i686
    printf '%-24s %12s %14s %-8s %s\n' "$name" "${value_of[$name]:-n/a}" "${goal_of[$name]}" "$build_of" \
        "${source_of[$name]:-no figure}"
done
echo "(ratios: median of ours / median of its baseline, both sides from the $arch build in one session;"
echo " size: the stripped i686 program, the one shipped; pairs per benchmark: $RUNS, start-up ${STARTUP_RUNS:-11})"
for f in "${failed[@]}"; do echo "benchmark failed: $f"; done
for name in "${goals[@]}"; do
    echo "$name ${value_of[$name]:-n/a} ${goal_of[$name]}"
done
[ ${#failed[@]} = 0 ]
