#!/usr/bin/env bash
# Test fixture clean-up: backend-stop.sh DIR [SLOTS]: stops the backends that backend-start.sh started,
# by their pids.
set -u
dir=$1 slots=${2:-1}
source "$(dirname "$0")/../harness/slots.sh"
for slot in $(seq 1 "$slots"); do
    pidfile=$(slot_backend_dir "$dir" "$slot")/server.pid
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    if alive "$pid"; then
        kill "$pid"
        for _ in $(seq 1 50); do alive "$pid" || break; sleep 0.1; done
        alive "$pid" && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
done
exit 0
