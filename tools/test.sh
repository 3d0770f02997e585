#!/usr/bin/env bash
# Sets the machine up (once), builds both builds and runs every test through Wine. Where the kernel
# starts no 32-bit program, the i686 build is built and checked without running it, and the whole suite
# runs on the x86-64 build, natively.
set -euo pipefail
bash "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/machine.sh"

# The test backend needs port 443 on loopback: a private network namespace keeps it free whatever else
# runs on the machine, and keeps every test's traffic on this machine (the harness makes one more per
# extra test slot inside it). Four at once: the wizard tests of the two slots and the network time
# limits mostly wait, so two of them beside the rest keep two cores busy.
run_ctest() {
    local build=$1; shift
    local args=(--test-dir "$build" --output-on-failure -j4 --timeout 900 "$@")
    if [ "$(id -u)" = 0 ] && unshare -n true 2>/dev/null; then
        unshare -n bash -c 'ip link set lo up && exec ctest "$@"' ctest "${args[@]}"
    else
        ctest "${args[@]}"
    fi
}

status=0
for arch in i686 x86_64; do
    log=$(build_dir "$arch").log
    mkdir -p "$(dirname "$log")"
    echo "test: building the $arch build (log: $log)"
    bash "$fennix_root/tools/build.sh" "$arch" >"$log" 2>&1 || { tail -n 40 "$log"; exit 1; }
done
if [ "$run_arch" = i686 ]; then
    for arch in i686 x86_64; do
        echo "test: the $arch build"
        run_ctest "$(build_dir "$arch")" || status=1
    done
else
    i686=$(build_dir i686)
    echo "test: the i686 build, checked without running it (and its signatures)"
    run_ctest "$i686" -R '^(program_check|signature)\.' || status=1
    echo "test: not run here, since this kernel starts no 32-bit program (the i686 build's test programs):"
    ctest --test-dir "$i686" -N -E '^program_check\.|^signature\.|^layers|^backend_selftest' | sed -n 's/^ *Test *#[0-9]*: /  not run: /p'
    echo "test: the x86_64 build"
    run_ctest "$(build_dir x86_64)" || status=1
fi
exit $status
