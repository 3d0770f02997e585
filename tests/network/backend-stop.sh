#!/usr/bin/env bash
# Test fixture clean-up: stops the backend that backend-start.sh started, by its pid.
set -u
dir=$1
pidfile=$dir/server.pid
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
fi
rm -f "$pidfile"
exit 0
