#!/bin/sh
# Measures what converting a large pre-selection costs under Wine (a measurement, not a test): 500
# single-line texts, and 50 blocks of 4 attributes, each pre-selected in the stand-in and converted
# in one press by the real command and binding; prints the calls the stand-in counted and the time.
# Usage: scripts/preselection-bench.sh (after scripts/bootstrap.sh)
set -eu
cd "$(dirname "$0")/.."
build=build/windows
cmake --preset windows >/dev/null
cmake --build --preset windows --target preselection_bench cadstandin >/dev/null
testing/wine/setup.sh "$build" 64 >/dev/null
trap 'testing/wine/teardown.sh "$build" >/dev/null' EXIT
testing/wine/run.sh "$build" "$build/testing/command_host/preselection_bench.exe" "$build/cadstandin/cadstandin.exe"
