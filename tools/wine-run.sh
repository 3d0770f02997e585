#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest and the scripts: the prefix comes from WINEPREFIX, the
# loader from FENNIX_WINE (Wine's 64-bit loader for the x86-64 build), the X display from the test
# harness when one is running.
set -u
: "${WINEPREFIX:?WINEPREFIX must name a Wine prefix}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ -n "${FENNIX_HARNESS_DIR:-}" ] && [ -s "$FENNIX_HARNESS_DIR/display" ]; then
    DISPLAY=$(cat "$FENNIX_HARNESS_DIR/display")
    export DISPLAY
fi
# Wine's own service processes outlive the program and would keep the caller's pipes open
# (ctest then waits for them), so the output goes through a file.
wine=${FENNIX_WINE:-wine}
[ "$wine" = wine ] || export WINELOADER=$wine
out=$(mktemp)
"$wine" "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
