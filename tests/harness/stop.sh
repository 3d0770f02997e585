#!/usr/bin/env bash
# Test fixture clean-up: ends the Wine processes of each prefix, then what start.sh started, by pid.
set -u
dir=$1; shift
for prefix in "$@"; do
    WINEPREFIX=$prefix timeout 20 wineserver -k 2>/dev/null
done
for pidfile in "$dir"/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
done
rm -f "$dir/display"
exit 0
