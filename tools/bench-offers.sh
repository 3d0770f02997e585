#!/usr/bin/env bash
# Prints the median time from pressing Next on the language page to the first product page (and to
# the license page before it) with 3 and with 50 offers whose images the local backend serves, beside
# the time of the configuration request alone. Prints figures only; it asserts nothing.
# Needs port 443 free: unshare -n bash -c 'ip link set lo up; bash tools/bench-offers.sh'
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
source "$root/tools/bench/bench-lib.sh"
bench_build FennixWebSetup OfferTimer ConfigRequestTimer

work=$build/bench-offers
rm -rf "$work"
mkdir -p "$work/files"
# One image and one vertical per offer: the wizard admits one offer per vertical.
for n in $(seq 1 50); do cp "$root/tools/backend/demo/offer$(( (n - 1) % 3 + 1 )).png" "$work/files/offer$n.png"; done
scenario() {  # scenario <offer count>: rewritten in place; the backend reads it again on change
    python3 - "$1" "$work/files" >"$work/scenario.tmp" <<'PY'
import json, sys
count, files = int(sys.argv[1]), sys.argv[2]
offers = [{"ad": {"o": f"bench-{n}", "f": "bench"},
           "ps": {"i": f"offer{n}.png", "dn": f"Bench Offer {n}", "u": f"installers/offer{n}.exe", "p": "/S",
                  "cp": "https://localhost/legal/offer-privacy/", "ctu": "https://localhost/legal/offer-terms/",
                  "c": "bench", "v": n}} for n in range(1, count + 1)]
print(json.dumps({"config": {"l": "US", "f": {"a": "a", "m": count}, "o": offers}, "files": files}))
PY
    mv "$work/scenario.tmp" "$work/scenario.json"
    sleep 0.3
}

scenario 3
bench_start_backend "$work/scenario.json" "$work"
bench_start_xvfb

declare -A license product first warm
for count in 3 50; do
    scenario "$count"
    out=$(bench_wine "$build/tools/bench/OfferTimer.exe" "$(wpath "$build/FennixWebSetup.exe")" "$runs") \
        || { echo "$out" >&2; echo "the wizard run with $count offers failed" >&2; exit 1; }
    echo "$out" | grep '^run' | sed "s/^/$count offers, /" >"$work/runs-$count.txt"
    read -r license[$count] product[$count] <<<"$(echo "$out" | sed -n 's/^median //p')"
    out=$(bench_wine "$build/tools/bench/ConfigRequestTimer.exe" $((runs + 1)))
    read -r first[$count] warm[$count] <<<"$(echo "$out" | awk '/^first/ { print $2, $4 }')"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0) ? a / b : 0 }'; }
cat "$work"/runs-*.txt
echo
printf '%-52s %10s %10s\n' "" "3 offers" "50 offers"
printf '%-52s %10s %10s\n' "Next -> license page, median (ms)" "${license[3]}" "${license[50]}"
printf '%-52s %10s %10s\n' "Next -> first product page, median (ms)" "${product[3]}" "${product[50]}"
printf '%-52s %10s %10s\n' "configuration request, first in process (ms)" "${first[3]}" "${first[50]}"
printf '%-52s %10s %10s\n' "configuration request, median of the next $runs (ms)" "${warm[3]}" "${warm[50]}"
printf '%-52s %10s %10s\n' "first product page / first request (ratio)" \
    "$(ratio "${product[3]}" "${first[3]}")" "$(ratio "${product[50]}" "${first[50]}")"
echo "($runs wizard runs per column after one warm-up, Agree pressed as soon as the license page shows;"
echo " the request alone is the wizard's ApiManager in a helper program; 64-bit Wine prefix, Xvfb)"
