#!/usr/bin/env bash
# Test fixture clean-up: stop.sh DIR PREFIX...: ends the Wine processes of each prefix and its slot
# copies, then what start.sh started, by pid.
set -u
dir=$1; shift
source "$(dirname "$0")/slots.sh"
for slotdir in "$dir"/slot*; do
    [ -d "$slotdir" ] || continue
    slot=${slotdir##*/slot}
    for prefix in "$@"; do
        copy=$(slot_prefix "$prefix" "$slot")
        [ -d "$copy" ] || continue
        # -k asks the server to end; -w waits until it has, with its registry saved.
        WINEPREFIX=$copy timeout 20 wineserver -k 2>/dev/null
        WINEPREFIX=$copy timeout 20 wineserver -w 2>/dev/null
    done
done
for prefix in "$@"; do
    WINEPREFIX=$prefix timeout 20 wineserver -k 2>/dev/null
    WINEPREFIX=$prefix timeout 20 wineserver -w 2>/dev/null
done
for pidfile in "$dir"/*.pid "$dir"/slot*/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
done
rm -f "$dir/display" "$dir"/slot*/display
exit 0
