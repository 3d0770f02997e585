# Sourced by the harness, the backend fixture and tools/wine-run.sh: where each test slot keeps its things.
# Wizard tests run one per slot at a time (ctest hands out the slots, tests/CMakeLists.txt); every
# other test runs in slot 1. Each slot has a fresh copy of each prefix in its folder (so its own
# wineserver and single-instance mutex; the prefixes in the cache stay as setup made them, and builds
# do not share copies), a display and a backend folder; slot 1 has ctest's own network namespace, every further slot one of its own (its own
# loopback, so its own backend on 127.0.0.1:443).

# alive PID: the process runs. One that has ended but is not yet reaped (its parent, the script that
# started it, is gone) still answers kill -0.
alive() {
    local state
    state=$(sed -n 's/^State:[[:space:]]*\(.\).*/\1/p' "/proc/$1/status" 2>/dev/null)
    [ -n "$state" ] && [ "$state" != Z ]
}

# slot_dir HARNESS_DIR SLOT: the slot's display, namespace holder and logs.
slot_dir() { echo "$1/slot$2"; }

# slot_prefix HARNESS_DIR PREFIX SLOT: the slot's copy of PREFIX.
slot_prefix() { echo "$(slot_dir "$1" "$3")/$(basename "$2")"; }

# slot_backend_dir BACKEND_DIR SLOT: the scenario and request log its tests use.
slot_backend_dir() {
    if [ "$2" = 1 ]; then echo "$1"; else echo "$1-slot$2"; fi
}

# slot_netns HARNESS_DIR SLOT: the namespace to enter, empty for slot 1 (ctest's own).
slot_netns() {
    [ "$2" = 1 ] && return 0
    local pidfile
    pidfile=$(slot_dir "$1" "$2")/netns.pid
    [ -s "$pidfile" ] || { echo "slot $2 has no network namespace: is the harness fixture running?" >&2; return 1; }
    echo "/proc/$(cat "$pidfile")/ns/net"
}

# slot_enter HARNESS_DIR SLOT: sets the array `enter` to the command prefix that runs a command in the
# slot's network namespace (nsenter, which execs it: a pid taken with $! is the command's own).
slot_enter() {
    local ns
    ns=$(slot_netns "$1" "$2") || return 1
    if [ -n "$ns" ]; then enter=(nsenter "--net=$ns"); else enter=(); fi
}
