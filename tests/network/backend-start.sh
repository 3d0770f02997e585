#!/usr/bin/env bash
# Test fixture: backend-start.sh DIR SERVER HARNESS_DIR SLOTS: per test slot (tests/harness/slots.sh) the
# local HTTPS backend on 127.0.0.1:443 of the slot's network namespace, with an empty scenario and a
# request log in the slot's folder (DIR for the first); plain HTTP on :80 too, so that a request that
# should never go out unencrypted would show in the log. Tests rewrite scenario.json there and read
# requests.jsonl back. Without HARNESS_DIR, one backend in DIR, here.
set -eu
dir=$1 server=$2 harness=${3:-} slots=${4:-1}
here=$(dirname "$0")
source "$here/../harness/slots.sh"
"$here/backend-stop.sh" "$dir" "$slots" >/dev/null 2>&1 || true

start_backend() {
    local dir=$1
    mkdir -p "$dir"
    echo '{}' >"$dir/scenario.json"
    : >"$dir/requests.jsonl"
    rm -f "$dir/ready"
    "${enter[@]}" python3 "$server" --port 443 --extra-port 80 --scenario "$dir/scenario.json" \
        --log "$dir/requests.jsonl" --pid-file "$dir/server.pid" >"$dir/ready" 2>"$dir/server.log" </dev/null &
    echo "$!" >"$dir/starting.pid"
}

# Every slot's server starts at once; then each must say it is ready.
enter=()
for slot in $(seq 1 "$slots"); do
    [ -z "$harness" ] || slot_enter "$harness" "$slot"
    start_backend "$(slot_backend_dir "$dir" "$slot")"
done
status=0
for slot in $(seq 1 "$slots"); do
    sdir=$(slot_backend_dir "$dir" "$slot")
    pid=$(cat "$sdir/starting.pid")
    rm -f "$sdir/starting.pid"
    ready=0
    for _ in $(seq 1 100); do
        grep -q '^ready ' "$sdir/ready" 2>/dev/null && { ready=1; break; }
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ "$ready" = 1 ]; then
        echo "backend: slot $slot $(cat "$sdir/ready") pid $pid"
    else
        cat "$sdir/server.log" >&2
        kill "$pid" 2>/dev/null || true
        status=1
    fi
done
exit $status
