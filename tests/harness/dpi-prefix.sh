#!/usr/bin/env bash
# Test fixture: a copy of a Wine prefix whose screen has another DPI (Wine reads LogPixels once per
# process, so tests in the original prefix keep 96 while this one runs). Windows' own files are hard
# links into the original (nothing writes them); the registry, users, program folders are real copies.
# dpi-prefix.sh start SOURCE TARGET DPI | stop TARGET
set -eu
case $1 in
start)
    source=$2 target=$3 dpi=$4
    WINEPREFIX=$target timeout 20 wineserver -k 2>/dev/null || true
    rm -rf "$target"
    mkdir -p "$target/drive_c"
    # The update stamp too: without it Wine updates the copy at its first use and shows its "being
    # updated" window, which takes the focus from whatever wizard a test drives on that screen.
    cp -a "$source"/*.reg "$source"/.update-timestamp "$source"/dosdevices "$target"/
    for entry in "$source"/drive_c/*; do
        if [ "$(basename "$entry")" = windows ]; then
            cp -al "$entry" "$target/drive_c/"
        else
            cp -a "$entry" "$target/drive_c/"
        fi
    done
    # Written straight into the registry file, so that no wineserver starts here: the first test to use
    # the copy starts it in its own test slot. Wine manages its windows itself, as in the harness's copies.
    printf '\n[Control Panel\\\\Desktop] %s\n"LogPixels"=dword:%08x\n' "$(date +%s)" "$dpi" >>"$target/user.reg"
    printf '\n[Software\\\\Wine\\\\X11 Driver] %s\n"Managed"="N"\n' "$(date +%s)" >>"$target/user.reg"
    ;;
stop)
    WINEPREFIX=$2 timeout 20 wineserver -k 2>/dev/null || true
    rm -rf "$2"
    ;;
*)
    echo "usage: dpi-prefix.sh start SOURCE TARGET DPI | stop TARGET" >&2
    exit 2
    ;;
esac
