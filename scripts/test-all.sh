#!/bin/sh
# Installs what is missing, then builds and runs every test: natively (ASan/UBSan), and under Wine for
# the 64-bit and the 32-bit Windows build. Prints the time of each phase at the end.
#
# The Wine tests run in two slots side by side (cmake/Testing.cmake); nothing else runs beside them,
# so that their waits are those of a machine doing nothing else.
set -eu
cd "$(dirname "$0")/.."

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
summary() {
    printf '\nphase times:\n%s' "$times"
    echo "whole run: $(($(date +%s) - run_started)) s"
}
trap summary EXIT

scripts/bootstrap.sh
phase_done bootstrap

# The native tests are independent cases: as many at a time as the machine has cores.
cmake --preset native >/dev/null
cmake --build --preset native
phase_done "native build"
ctest --preset native --parallel "$(nproc)"
phase_done "native tests"

# The 32-bit build. Where the machine cannot run 32-bit programs its Wine tests could only report
# themselves skipped: only the program is built, and the test that reads it (its imports and
# headers).
cmake --preset windows-x86 >/dev/null
if testing/wine/machine_runs_32bit.sh; then
    cmake --build --preset windows-x86
    phase_done "windows-x86 build"
    ctest --preset windows-x86
else
    echo "test-all: this machine does not run 32-bit programs: of the 32-bit build only morvane.exe is built and checked"
    cmake --build --preset windows-x86 --target morvane
    phase_done "windows-x86 build (program only)"
    ctest --preset windows-x86 -R '^morvane_windows7$'
fi
phase_done "windows-x86 tests"

# The 64-bit Windows build last: its closing count is the one of tests that ran.
cmake --preset windows >/dev/null
cmake --build --preset windows
phase_done "windows build"
ctest --preset windows
phase_done "windows tests"
