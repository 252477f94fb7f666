#!/bin/sh
# Installs what is missing, then builds and runs every test: natively (ASan/UBSan), and under Wine for
# the 64-bit and the 32-bit Windows build. Prints the time of each phase at the end.
#
# On a machine with two cores the run overlaps what waits with what computes: the Windows
# packages install while the native build and tests run, and the 32-bit build compiles while the
# 64-bit Wine tests (which mostly wait on Wine and the stand-in) run in their two slots.
set -eu
cd "$(dirname "$0")/.."
mkdir -p build

times=""
phase_started=$(date +%s)
# phase_done <name>: the time since the last phase ended goes to the summary.
phase_done() {
    now=$(date +%s)
    times="$times$1: $((now - phase_started)) s
"
    phase_started=$now
}
run_started=$phase_started
background=""
finish() {
    for pid in $background; do
        kill "$pid" 2>/dev/null || true
    done
    printf '\nphase times:\n%s' "$times"
    echo "whole run: $(($(date +%s) - run_started)) s"
}
trap finish EXIT

# in_background <log> <command...>: runs the command with its output in the log and its time in
# <log>.time; its process id in $started_pid. joined <pid> <log> waits for it, shows its output
# and fails as it failed.
in_background() {
    log=$1
    shift
    (
        started=$(date +%s)
        status=0
        "$@" >"$log" 2>&1 || status=$?
        echo $(($(date +%s) - started)) >"$log.time"
        exit $status
    ) &
    started_pid=$!
    background="$background $started_pid"
}
joined() {
    status=0
    wait "$1" || status=$?
    cat "$2"
    [ $status -eq 0 ] || { echo "test-all: failed: see above" >&2; exit $status; }
}

scripts/bootstrap.sh native
phase_done "installs for the native build"
in_background build/installs.log scripts/bootstrap.sh windows
installs=$started_pid

# The native tests are independent cases: as many at a time as the machine has cores.
cmake --preset native >/dev/null
cmake --build --preset native
phase_done "native build"
ctest --preset native --parallel "$(nproc)"
phase_done "native tests"

joined "$installs" build/installs.log
phase_done "installs for the Windows builds, after the native tests (they took $(cat build/installs.log.time) s beside them)"

cmake --preset windows >/dev/null
cmake --build --preset windows
phase_done "windows build"

# The 32-bit build. Where the machine cannot run 32-bit programs its Wine tests could only report
# themselves skipped: only the program is built, and the test that reads it (its imports and
# headers).
cmake --preset windows-x86 >/dev/null
if testing/wine/machine_runs_32bit.sh; then
    x86_targets="" x86_tests=""
else
    echo "test-all: this machine does not run 32-bit programs: of the 32-bit build only morvane.exe is built and checked"
    x86_targets="--target morvane" x86_tests="-R ^morvane_windows7$"
fi
# shellcheck disable=SC2086 # the options are words
in_background build/windows-x86-build.log cmake --build --preset windows-x86 $x86_targets
building_x86=$started_pid

ctest --preset windows
phase_done "windows tests (the 32-bit build beside them)"

joined "$building_x86" build/windows-x86-build.log
phase_done "windows-x86 build, after the windows tests (it took $(cat build/windows-x86-build.log.time) s beside them)"
# shellcheck disable=SC2086
ctest --preset windows-x86 $x86_tests
phase_done "windows-x86 tests"
