#!/usr/bin/env bash
# Builds the wizard and runs it under Wine against the local demo backend: the i686 program we ship where
# this machine runs 32-bit programs, the x86-64 build (same source, same behaviour) where it does not.
# With a usable $DISPLAY the wizard opens there and this waits until it is closed; otherwise it runs
# under a private Xvfb display, walks from the first page to the finish page by itself and saves a
# screenshot of every page (their paths are printed).
#
# --dlm runs the DLM wizard against its own demo scenario (tools/backend/demo-dlm-scenario.json): the
# product file goes to the user's Downloads folder, and the walk-through ends by showing that folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dlm=0
for arg in "$@"; do
    case $arg in
        --dlm) dlm=1 ;;
        -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
        *) echo "run-wizard: unknown argument: $arg" >&2; exit 2 ;;
    esac
done
if [ "$dlm" = 1 ]; then
    # FennixWebSetupDlm is one of the build's variants, made with the tests (FENNIX_BUILD_TESTS).
    program=FennixWebSetupDlm program_file=tests/FennixWebSetupDlm.exe
    scenario=$root/tools/backend/demo-dlm-scenario.json walk=(--open-folder "Fennix Web Setup.exe")
else
    program=FennixWebSetup program_file=FennixWebSetup.exe
    scenario=$root/tools/backend/demo-scenario.json walk=()
fi
bash "$root/tools/setup.sh"
source "$root/tools/machine.sh"
arch=$run_arch
build=$(build_dir "$arch")
shots=${FENNIX_SCREENSHOTS:-$build/screenshots}
[ "$dlm" = 1 ] && shots=${FENNIX_SCREENSHOTS:-$build/screenshots-dlm}
if [ "$arch" = i686 ]; then
    echo "Running the i686 wizard (the program we ship)."
else
    echo "Running the x86-64 wizard: this kernel starts no 32-bit program, so the i686 one cannot run here."
fi
bash "$root/tools/build.sh" "$arch" "$program" WalkThrough sample_product_setup sample_offer1_setup \
    sample_offer2_setup sample_offer3_setup sample_offer_zip >/dev/null

# The demo scenario serves the installers from tools/backend/demo/installers/: the ones just built.
mkdir -p "$root/tools/backend/demo/installers"
cp -f "$build"/installers/*-setup.exe "$build"/installers/*-setup.zip "$root/tools/backend/demo/installers/"

export WINEPREFIX=$FENNIX_CACHE/wine64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
use_wine "$arch"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

python3 "$root/tools/backend/server.py" --scenario "$scenario" \
    --log "$build/demo-backend.jsonl" >"$build/demo-backend.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do grep -q '^ready' "$build/demo-backend.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready' "$build/demo-backend.out" || { cat "$build/demo-backend.out" >&2; echo "the demo backend did not start (is port 443 in use?)" >&2; exit 1; }

exe=$build/$program_file
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Running the wizard on $DISPLAY; close it to end."
    "$wine" "$exe"
    exit 0
fi

display=""
for n in $(seq 120 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids=($! "${pids[@]}")
export DISPLAY=":$display"
for _ in $(seq 1 100); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

# A user who accepts everything walks through the run; the launched product exits at once here.
export FENNIX_SAMPLE_FXWEB_NO_WINDOW=1
mkdir -p "$shots"
rm -f "$shots"/*.png
wpath() { echo "Z:$1" | tr / '\\'; }
status=0
"$wine" "$build/tools/walkthrough/WalkThrough.exe" "$(wpath "$exe")" "$(wpath "$shots")" "${walk[@]}" |
    tr -d '\r' >"$build/walkthrough.out" || status=$?
echo "Screenshots of each page:"
sed "s|^|  $shots/|" "$build/walkthrough.out"
[ "$status" -eq 0 ] || { echo "the walk-through did not reach the finish page" >&2; exit 1; }
if [ "$dlm" = 1 ]; then
    # The product file the scenario names ("cf"), in the Downloads folder of Wine's user.
    downloaded="$WINEPREFIX/drive_c/users/$(id -un)/Downloads/Fennix Web Setup.exe"
    if cmp -s "$downloaded" "$root/tools/backend/demo/installers/fxweb-setup.exe"; then
        echo "The product file, as served: $downloaded"
    else
        echo "the product file is not in the Downloads folder as served: $downloaded" >&2
        exit 1
    fi
fi
