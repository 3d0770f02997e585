#!/usr/bin/env bash
# Test fixture clean-up: stop.sh DIR PREFIX...: ends the Wine processes in each slot's copy of each
# prefix, then what start.sh started, by pid.
set -u
dir=$1; shift
source "$(dirname "$0")/slots.sh"
# -k asks a server to end; -w waits until it has. All at once: each waits for its own programs.
for slotdir in "$dir"/slot*; do
    [ -d "$slotdir" ] || continue
    slot=${slotdir##*/slot}
    for prefix in "$@"; do
        copy=$(slot_prefix "$dir" "$prefix" "$slot")
        [ -d "$copy" ] || continue
        (WINEPREFIX=$copy timeout 20 wineserver -k; WINEPREFIX=$copy timeout 20 wineserver -w) 2>/dev/null &
    done
done
wait
for pidfile in "$dir"/*.pid "$dir"/slot*/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    if alive "$pid"; then
        kill "$pid" 2>/dev/null
        for _ in $(seq 1 50); do alive "$pid" || break; sleep 0.1; done
        alive "$pid" && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
done
rm -f "$dir"/slot*/display
exit 0
