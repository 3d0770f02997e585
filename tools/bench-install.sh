#!/usr/bin/env bash
# Prints the time of a full wizard run with the product and two offers of 50 MiB each served by the
# local backend, beside the sum of the plain download times of the three files (the wizard's
# DownloadManager in a helper program), and the wizard's peak memory. Runs are interleaved pairs
# (wizard, then plain downloads); the ratio is the median of the pairs' ratios.
# The goal's ratio sets the run's download and install part, from the user's last click to the finish
# page, beside the plain downloads: the pages before it (process start, configuration request, offer
# images, clicks) have goals of their own and no counterpart in the baseline, and are printed apart.
# The run's log gives the breakdown of the download page: downloads, and what follows the last one.
# Prints figures only; it asserts nothing. Its last line is the goal line.
# Needs port 443 free: unshare -n bash -c 'ip link set lo up; bash tools/bench-install.sh'
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-7}
size=$((50 * 1024 * 1024))
source "$root/tools/bench/bench-lib.sh"
bench_build FennixWebSetup InstallTimer DownloadTimer sample_product_setup sample_offer1_setup sample_offer2_setup

work=$build/bench-install
rm -rf "$work"
mkdir -p "$work/files/installers"
inst=$work/files/installers
# Bytes appended to an .exe are ignored by Windows, so padded sample installers still run.
cp "$build/installers/fxweb-setup.exe" "$inst/fxweb-setup.exe"
cp "$build/installers/offer1-setup.exe" "$inst/offer1-setup.exe"
truncate -s "$size" "$inst/fxweb-setup.exe" "$inst/offer1-setup.exe"
# The zipped offer: its installer and random filler, stored, making the archive exactly 50 MiB.
python3 - "$inst/offer2-setup.zip" "$build/installers/offer2-setup.exe" "$size" <<'PY'
import os, sys, zipfile
out, exe, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
exe_name, filler_name = "offer2-setup.exe", "data/filler.bin"
with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_DEFLATED) as archive:
    archive.write(exe, arcname=exe_name)
    # What is left once the filler's local header and the central directory are written.
    left = size - archive.fp.tell() - (30 + len(filler_name)) - (46 + len(exe_name)) - (46 + len(filler_name)) - 22
    archive.writestr(zipfile.ZipInfo(filler_name, (2024, 1, 1, 0, 0, 0)), os.urandom(left), compress_type=zipfile.ZIP_STORED)
PY
cp "$root/tools/backend/demo/offer1.png" "$root/tools/backend/demo/offer2.png" "$work/files/"

python3 - "$work" >"$work/scenario.json" <<'PY'
import json, sys
work = sys.argv[1]
def offer(n, url):
    return {"ad": {"o": f"bench-offer-{n}", "f": "bench"},
            "ps": {"i": f"offer{n}.png", "dn": f"Bench Offer {n}", "u": url, "p": "/S",
                   "cp": "https://localhost/legal/offer-privacy/", "ctu": "https://localhost/legal/offer-terms/",
                   "c": "bench", "v": n}}
print(json.dumps({
    "config": {"l": "US", "f": {"a": "a", "m": 3},
               "o": [offer(1, "installers/offer1-setup.exe"), offer(2, "installers/offer2-setup.zip")]},
    "files": work + "/files",
    "routes": [{"path": "/endpoint/fxweb/os/riserollout/track/beta", "body_file": work + "/files/installers/fxweb-setup.exe"}],
}))
PY

bench_start_backend "$work/scenario.json" "$work"
bench_start_xvfb
export FENNIX_SAMPLE_FXWEB_NO_WINDOW=1  # the product the wizard launches at the end exits at once

urls=(https://localhost/endpoint/fxweb/os/riserollout/track/beta https://localhost/f/installers/offer1-setup.exe
      https://localhost/f/installers/offer2-setup.zip)
# From a run's log: the wizard's own download times added up, and the milliseconds from the end of the
# last download to the finish page.
log_breakdown() {
    python3 - "$1" <<'PY'
import re, sys
def ms(line):
    h, m, s = line[11:23].split(":")
    return (int(h) * 60 + int(m)) * 60000 + round(float(s) * 1000)
downloads, last, finish = 0, None, None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    found = re.search(r" download .*: \d+ bytes in (\d+) ms", line)
    if found:
        downloads += int(found.group(1))
        last = ms(line)
    elif " page: FinishPage" in line:
        finish = ms(line)
print(downloads, finish - last if last is not None and finish is not None else 0)
PY
}

totals=() downloads=() befores=() sums=() working=() pagefile=() ratios=() fulls=() inners=() afters=()
for run in $(seq 1 "$runs"); do
    log=$work/run-$run.log
    out=$(bench_wine "$build/tools/bench/InstallTimer.exe" "$(wpath "$build/FennixWebSetup.exe")" "/log=$(wpath "$log")") \
        || { echo "$out" >&2; echo "the wizard run did not reach the finish page" >&2; exit 1; }
    totals+=("$(echo "$out" | sed -n 's/^total //p')")
    downloads+=("$(echo "$out" | sed -n 's/^download-page //p')")
    befores+=("$(echo "$out" | sed -n 's/^to-download-page //p')")
    read -r inner after < <(log_breakdown "$log")
    inners+=("$inner") afters+=("$after")
    working+=("$(echo "$out" | sed -n 's/^peak-working-set //p')")
    pagefile+=("$(echo "$out" | sed -n 's/^peak-pagefile //p')")
    out=$(bench_wine "$build/tools/bench/DownloadTimer.exe" "${urls[@]}") \
        || { echo "$out" >&2; echo "a plain download failed" >&2; exit 1; }
    sums+=("$(echo "$out" | sed -n 's/^sum //p')")
    ratios+=("$(awk -v a="${downloads[-1]}" -v b="${sums[-1]}" 'BEGIN { printf "%.4f", a / b }')")
    fulls+=("$(awk -v a="${totals[-1]}" -v b="${sums[-1]}" 'BEGIN { printf "%.4f", a / b }')")
    echo "pair $run: wizard ${totals[-1]} ms (download page ${downloads[-1]} ms: its downloads ${inners[-1]} ms, after the last one ${afters[-1]} ms), plain downloads ${sums[-1]} ms, ratio ${ratios[-1]}"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
max() { printf '%s\n' "$@" | sort -g | tail -n1; }
total=$(median "${totals[@]}") download=$(median "${downloads[@]}") sum=$(median "${sums[@]}")
mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
echo
printf '%-50s %10s\n' "files (bytes)" "$(stat -c %s "$inst/fxweb-setup.exe" "$inst/offer1-setup.exe" "$inst/offer2-setup.zip" | paste -sd+ | sed 's/+/ + /g')"
printf '%-50s %10s\n' "full run, start to finish page, median (ms)" "$total"
printf '%-50s %10s\n' "  start to the download page (ms)" "$(median "${befores[@]}")"
printf '%-50s %10s\n' "  on the download page (ms)" "$download"
printf '%-50s %10s\n' "    its downloads, by the run's log (ms)" "$(median "${inners[@]}")"
printf '%-50s %10s\n' "    last download's end to the finish page (ms)" "$(median "${afters[@]}")"
printf '%-50s %10s\n' "sum of the three plain downloads, median (ms)" "$sum"
printf '%-50s %10s\n' "full run / plain downloads (median of the pairs)" "$(median "${fulls[@]}")"
printf '%-50s %10s\n' "download page / plain downloads (median of pairs)" "$(median "${ratios[@]}")"
printf '%-50s %10s\n' "wizard peak working set, highest run (MiB)" "$(mib "$(max "${working[@]}")")"
printf '%-50s %10s\n' "wizard peak pagefile usage, highest run (MiB)" "$(mib "$(max "${pagefile[@]}")")"
echo "($runs interleaved pairs; every page answered at once; $arch build, Wine prefix, Xvfb, backend on loopback)"
echo "install_ratio $(awk -v r="$(median "${ratios[@]}")" 'BEGIN { printf "%.2f", r }') <= 1.1"
