#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest and the scripts: the prefix comes from WINEPREFIX, the
# loader from FENNIX_WINE (Wine's 64-bit loader for the x86-64 build), the X display from the test
# harness. Under the harness a test runs in its slot (tests/harness/slots.sh; slot 1 unless ctest gave
# it one): the slot's copy of the prefix, display, network namespace and backend folder.
set -u
: "${WINEPREFIX:?WINEPREFIX must name a Wine prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
enter=()
if [ -n "${FENNIX_HARNESS_DIR:-}" ]; then
    source "$(dirname "$0")/../tests/harness/slots.sh"
    slot=1
    # ctest names the slot as "id:N,slots:1".
    if [ -n "${CTEST_RESOURCE_GROUP_0_SLOT:-}" ]; then
        slot=${CTEST_RESOURCE_GROUP_0_SLOT#id:}
        slot=${slot%%,*}
    fi
    # The prefixes the harness copies; a test that brings a prefix of its own keeps it.
    own_prefix=1
    if grep -qxF "$WINEPREFIX" "$FENNIX_HARNESS_DIR/prefixes" 2>/dev/null; then
        own_prefix=0
        WINEPREFIX=$(slot_prefix "$FENNIX_HARNESS_DIR" "$WINEPREFIX" "$slot")
        [ -d "$WINEPREFIX" ] || { echo "no $WINEPREFIX: is the harness fixture running?" >&2; exit 1; }
    fi
    [ -z "${FENNIX_BACKEND_DIR:-}" ] || FENNIX_BACKEND_DIR=$(slot_backend_dir "$FENNIX_BACKEND_DIR" "$slot")
    slot_enter "$FENNIX_HARNESS_DIR" "$slot" || exit 1
    display=$(slot_dir "$FENNIX_HARNESS_DIR" "$slot")/display
    if [ -s "$display" ]; then
        DISPLAY=$(cat "$display")
        export DISPLAY
    fi
fi
# Wine's own service processes outlive the program and would keep the caller's pipes open
# (ctest then waits for them), so the output goes through a file.
wine=${FENNIX_WINE:-wine}
[ "$wine" = wine ] || export WINELOADER=$wine
out=$(mktemp)
"${enter[@]}" "$wine" "$@" >"$out" 2>&1 </dev/null
rc=$?
# A prefix of the test's own is shared by tests of other slots, one at a time: its wineserver, which
# holds the network namespace it started in, must end before the next test starts another.
[ "${own_prefix:-0}" = 0 ] || timeout 30 wineserver -w
cat "$out"
rm -f "$out"
exit $rc
