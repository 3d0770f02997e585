#!/usr/bin/env bash
# Test fixture: start.sh DIR SLOTS PREFIX...: per test slot (slots.sh) an Xvfb display, fresh copies of
# the prefixes and a warm wineserver for each, recorded by their pids; slots after the first get a
# network namespace of their own.
set -eu
dir=$1 slots=$2; shift 2
here=$(dirname "$0")
source "$here/slots.sh"
mkdir -p "$dir"
if [ "$slots" -gt 1 ] && ! unshare -n true 2>/dev/null; then
    echo "harness: the test slots need network namespaces of their own, so root (as tools/test.sh runs ctest)" >&2
    exit 1
fi
"$here/stop.sh" "$dir" "$@" >/dev/null 2>&1 || true

# Display numbers are taken from the files X leaves in /tmp; the lock file names the server that holds
# the number, ours or another harness's.
start_display() {
    local out=$1 n pid
    for n in $(seq 90 199); do
        [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] || continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 </dev/null &
        pid=$!
        echo $pid >"$out/xvfb.pid"
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
                echo ":$n" >"$out/display"
                return 0
            fi
            sleep 0.1
        done
        kill "$pid" 2>/dev/null || true
        rm -f "$out/xvfb.pid"
    done
    echo "no free X display" >&2
    return 1
}

# A namespace lives as long as a process in it; `unshare` has switched once the holder's differs from ours.
start_netns() {
    local out=$1 pid
    unshare -n sleep infinity </dev/null >/dev/null 2>&1 &
    pid=$!
    echo $pid >"$out/netns.pid"
    for _ in $(seq 1 100); do
        [ "$(readlink "/proc/$pid/ns/net")" != "$(readlink /proc/self/ns/net)" ] && break
        sleep 0.02
    done
    nsenter "--net=/proc/$pid/ns/net" ip link set lo up
}

# A fresh copy each time, made while no wineserver holds the prefix, so that no run inherits what an
# earlier one left. Xvfb has no window manager: Wine would wait for one to acknowledge each managed
# window it hides (two seconds for every closed dialog and message box), so Wine manages them itself.
copy_prefix() {
    local prefix=$1 copy=$2
    rm -rf "$copy" "$copy.tmp"
    cp -a "$prefix" "$copy.tmp"
    printf '\n[Software\\\\Wine\\\\X11 Driver] %s\n"Managed"="N"\n' "$(date +%s)" >>"$copy.tmp/user.reg"
    mv "$copy.tmp" "$copy"
}

copies=()
for slot in $(seq 1 "$slots"); do
    for prefix in "$@"; do
        mkdir -p "$(slot_dir "$dir" "$slot")"
        copy_prefix "$prefix" "$(slot_prefix "$dir" "$prefix" "$slot")" &
        copies+=($!)
    done
done
for slot in $(seq 1 "$slots"); do
    out=$(slot_dir "$dir" "$slot")
    mkdir -p "$out"
    start_display "$out"
    [ "$slot" = 1 ] || start_netns "$out"
done
for pid in "${copies[@]}"; do wait "$pid"; done
printf '%s\n' "$@" >"$dir/prefixes"

for slot in $(seq 1 "$slots"); do
    out=$(slot_dir "$dir" "$slot")
    # A warm wineserver keeps every test's start-up short; it makes the sockets of its programs, so it
    # runs in the slot's namespace.
    slot_enter "$dir" "$slot"
    for prefix in "$@"; do
        name=$(basename "$prefix")
        WINEPREFIX=$(slot_prefix "$dir" "$prefix" "$slot") "${enter[@]}" wineserver -f -p >"$out/wineserver-$name.log" 2>&1 </dev/null &
        echo $! >"$out/wineserver-$name.pid"
    done
    echo "harness: slot $slot on DISPLAY=$(cat "$out/display")"
done
