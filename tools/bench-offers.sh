#!/usr/bin/env bash
# Time from pressing Next on the language page to the first product page (and to the license page
# before it; Agree is pressed as soon as it shows) with 50 offers whose images the local backend
# serves, beside the configuration request alone (the wizard's ApiManager in a helper program, the
# first request in its process as in the wizard). Interleaved pairs, wizard first, after one warm-up
# pair; prints the medians and, last, the goal line. Prints figures only; it asserts nothing.
# Needs port 443 free: unshare -n bash -c 'ip link set lo up; bash tools/bench-offers.sh'
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pairs=${RUNS:-7}
[ "$pairs" -ge 7 ] || pairs=7
source "$root/tools/bench/bench-lib.sh"
bench_build FennixWebSetup OfferTimer ConfigRequestTimer

work=$build/bench-offers
rm -rf "$work"
mkdir -p "$work/files"
count=50
# One image and one vertical per offer: the wizard admits one offer per vertical.
for n in $(seq 1 $count); do cp "$root/tools/backend/demo/offer$(( (n - 1) % 3 + 1 )).png" "$work/files/offer$n.png"; done
python3 - "$count" "$work/files" >"$work/scenario.json" <<'PY'
import json, sys
count, files = int(sys.argv[1]), sys.argv[2]
offers = [{"ad": {"o": f"bench-{n}", "f": "bench"},
           "ps": {"i": f"offer{n}.png", "dn": f"Bench Offer {n}", "u": f"installers/offer{n}.exe", "p": "/S",
                  "cp": "https://localhost/legal/offer-privacy/", "ctu": "https://localhost/legal/offer-terms/",
                  "c": "bench", "v": n}} for n in range(1, count + 1)]
print(json.dumps({"config": {"l": "US", "f": {"a": "a", "m": count}, "o": offers}, "files": files}))
PY
bench_start_backend "$work/scenario.json" "$work"
bench_start_xvfb

wizard() {  # wizard <warm-up runs>: prints "<to license> <to first product page>"
    local out
    out=$(bench_wine "$build/tools/bench/OfferTimer.exe" "$(wpath "$build/FennixWebSetup.exe")" 1 "$1") \
        || { echo "$out" >&2; echo "the wizard run with $count offers failed" >&2; exit 1; }
    echo "$out" | sed -n 's/^median //p'
}
request() {  # prints the first request's milliseconds
    bench_wine "$build/tools/bench/ConfigRequestTimer.exe" 1 | awk '/^first/ { print $2 }'
}
# The request and then its 50 pictures fetched and decoded by the wizard's engine: the least the wizard
# must do before the page after the loading page, which waits for the last picture.
with_images() {
    bench_wine "$build/tools/bench/ConfigRequestTimer.exe" 1 images | awk '/^with-images/ { print $2 }'
}

wizard 1 >/dev/null
request >/dev/null
with_images >/dev/null
: >"$work/pairs.txt"
for i in $(seq 1 "$pairs"); do
    read -r license product <<<"$(wizard 0)"
    alone=$(request)
    pictures=$(with_images)
    echo "$license $product $alone $pictures" >>"$work/pairs.txt"
    printf 'pair %d: license page %s ms, first product page %s ms, configuration request %s ms, with its pictures %s ms\n' \
        "$i" "$license" "$product" "$alone" "$pictures"
done

median() {  # median <column>
    awk -v c="$1" '{ print $c }' "$work/pairs.txt" | sort -g |
        awk '{ v[NR] = $1 } END { printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
license=$(median 1)
product=$(median 2)
alone=$(median 3)
pictures=$(median 4)
echo
printf '%-50s %10s\n' "Next -> license page, median (ms)" "$license"
printf '%-50s %10s\n' "Next -> first product page, median (ms)" "$product"
printf '%-50s %10s\n' "configuration request alone, median (ms)" "$alone"
printf '%-50s %10s\n' "request, then its $count pictures in, median (ms)" "$pictures"
awk -v a="$product" -v b="$pictures" 'BEGIN { printf "%-50s %10.2f\n", "first product page / request with its pictures", (b > 0) ? a / b : 0 }'
echo "($pairs interleaved pairs with $count offers, x86-64 or the build named above; 64-bit Wine prefix, Xvfb)"
awk -v a="$product" -v b="$alone" 'BEGIN { printf "offers50_ratio %.2f <= 1.3\n", (b > 0) ? a / b : 0 }'
