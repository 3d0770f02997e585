#!/usr/bin/env bash
# Test fixture: the local HTTPS backend on 127.0.0.1:443 with an empty scenario and a request log in <dir>;
# plain HTTP on :80 too, so that a request that should never go out unencrypted would show in the log.
# Tests rewrite <dir>/scenario.json and read <dir>/requests.jsonl back.
set -eu
dir=$1 server=$2
mkdir -p "$dir"
"$(dirname "$0")/backend-stop.sh" "$dir" >/dev/null 2>&1 || true
echo '{}' >"$dir/scenario.json"
: >"$dir/requests.jsonl"
rm -f "$dir/ready"
python3 "$server" --port 443 --extra-port 80 --scenario "$dir/scenario.json" --log "$dir/requests.jsonl" \
    --pid-file "$dir/server.pid" >"$dir/ready" 2>"$dir/server.log" </dev/null &
pid=$!
for _ in $(seq 1 100); do
    grep -q '^ready ' "$dir/ready" 2>/dev/null && { echo "backend: $(cat "$dir/ready") pid $pid"; exit 0; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
cat "$dir/server.log" >&2
kill "$pid" 2>/dev/null || true
exit 1
