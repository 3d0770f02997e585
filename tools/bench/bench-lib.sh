# Sourced by the benchmark scripts: build the named targets of the build this machine runs (both sides
# of every ratio come from that one build), a private Xvfb display and the local backend, both stopped
# by pid on exit (with Wine's own processes). Expects $root; sets $build, $arch, $wine, wpath,
# bench_start_backend, bench_wine.
bash "$root/tools/setup.sh" >/dev/null
source "$root/tools/machine.sh"
arch=${FENNIX_BENCH_ARCH:-$run_arch}
build=$(build_dir "$arch")
use_wine "$arch"
echo "benchmarks of the $arch build"
bench_build() {
    bash "$root/tools/build.sh" "$arch" "$@" >/dev/null
}

export WINEPREFIX=${WINEPREFIX:-${FENNIX_CACHE:-/var/cache/fennix-setup}/wine64}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bench_pids=()
bench_cleanup() {
    local pid
    # Wine's services end shortly after the last program; wait for them before the display goes.
    [ -z "${bench_wine_used:-}" ] || timeout 20 wineserver -w 2>/dev/null || true
    for pid in "${bench_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${bench_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap bench_cleanup EXIT

bench_start_xvfb() {
    local display="" n
    for n in $(seq 300 399); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
    done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    bench_pids+=($!)
    export DISPLAY=":$display"
    for _ in $(seq 1 100); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}

# bench_start_backend <scenario> <folder for its log and output>
bench_start_backend() {
    local scenario=$1 dir=$2
    python3 "$root/tools/backend/server.py" --port 443 --scenario "$scenario" --log "$dir/requests.jsonl" \
        --pid-file "$dir/server.pid" >"$dir/backend.out" 2>"$dir/backend.err" </dev/null &
    bench_pids+=($!)
    for _ in $(seq 1 100); do grep -q '^ready' "$dir/backend.out" 2>/dev/null && return 0; sleep 0.1; done
    cat "$dir/backend.err" >&2
    echo "the backend did not start (is port 443 in use? run under: unshare -n bash -c 'ip link set lo up; bash $0')" >&2
    exit 1
}

wpath() { echo "Z:$1" | tr / '\\'; }
# wine with the output through a file: Wine's services would otherwise keep a pipe open.
bench_wine() {
    local out rc=0
    bench_wine_used=1
    out=$(mktemp)
    "$wine" "$@" >"$out" 2>/dev/null </dev/null || rc=$?
    tr -d '\r' <"$out"
    rm -f "$out"
    return $rc
}
