#!/usr/bin/env bash
# Test fixture: start.sh DIR SLOTS PREFIX...: per test slot (slots.sh) an Xvfb display and a warm
# wineserver per prefix, each recorded by its pid; slots after the first get their prefix copies and a
# network namespace of their own first.
set -eu
dir=$1 slots=$2; shift 2
here=$(dirname "$0")
source "$here/slots.sh"
mkdir -p "$dir"
"$here/stop.sh" "$dir" "$@" >/dev/null 2>&1 || true

# Display numbers are taken from the files X leaves in /tmp; the lock file is written by the server
# itself, so a number is held from the moment it is started.
start_display() {
    local out=$1 n
    for n in $(seq 90 199); do
        [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] || continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 </dev/null &
        echo $! >"$out/xvfb.pid"
        local pid=$!
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            # The lock file names the server that holds the number: ours, or another harness's.
            if [ -S "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
                echo ":$n" >"$out/display"
                return 0
            fi
            sleep 0.1
        done
        kill "$pid" 2>/dev/null || true
        # Another harness took the number first: the next one.
        rm -f "$out/xvfb.pid"
    done
    echo "no free X display" >&2
    return 1
}

# A namespace lives as long as a process in it; `unshare` has switched once the holder's differs from ours.
start_netns() {
    local out=$1
    unshare -n sleep infinity </dev/null >/dev/null 2>&1 &
    echo $! >"$out/netns.pid"
    for _ in $(seq 1 100); do
        [ "$(readlink "/proc/$!/ns/net")" != "$(readlink /proc/self/ns/net)" ] && break
        sleep 0.02
    done
    nsenter "--net=/proc/$!/ns/net" ip link set lo up
}

for slot in $(seq 1 "$slots"); do
    out=$(slot_dir "$dir" "$slot")
    mkdir -p "$out"
    if [ "$slot" = 1 ]; then
        start_display "$dir"
        cp "$dir/display" "$out/display"
    else
        start_display "$out"
        start_netns "$out"
        # A fresh copy each time, made while no wineserver holds the prefix.
        for prefix in "$@"; do
            copy=$(slot_prefix "$prefix" "$slot")
            rm -rf "$copy" "$copy.tmp"
            cp -a "$prefix" "$copy.tmp"
            mv "$copy.tmp" "$copy"
        done
    fi
    # A warm wineserver keeps every test's start-up short; it makes the sockets of its programs, so it
    # runs in the slot's namespace.
    slot_enter "$dir" "$slot"
    for prefix in "$@"; do
        name=$(basename "$prefix")
        WINEPREFIX=$(slot_prefix "$prefix" "$slot") "${enter[@]}" wineserver -f -p >"$out/wineserver-$name.log" 2>&1 </dev/null &
        echo $! >"$out/wineserver-$name.pid"
    done
    echo "harness: slot $slot on DISPLAY=$(cat "$out/display")"
done
