#!/usr/bin/env bash
# Test fixture: an Xvfb display and a persistent wineserver per prefix, each recorded by its pid.
set -eu
dir=$1; shift
mkdir -p "$dir"
"$(dirname "$0")/stop.sh" "$dir" "$@" >/dev/null 2>&1 || true

display=""
for n in $(seq 90 199); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 </dev/null &
echo $! >"$dir/xvfb.pid"
for _ in $(seq 1 100); do
    [ -S "/tmp/.X11-unix/X$display" ] && break
    kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null || { cat "$dir/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
echo ":$display" >"$dir/display"

# A warm wineserver keeps every test's start-up short.
for prefix in "$@"; do
    name=$(basename "$prefix")
    WINEPREFIX=$prefix wineserver -f -p >"$dir/wineserver-$name.log" 2>&1 </dev/null &
    echo $! >"$dir/wineserver-$name.pid"
done
echo "harness: DISPLAY=:$display"
