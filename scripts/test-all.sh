#!/bin/sh
# Installs what is missing, then builds and runs every test: natively (ASan/UBSan), and under Wine for
# the 64-bit and the 32-bit Windows build.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
# The 64-bit Windows build last: where the 32-bit one can only report its Wine tests skipped, the
# closing count is the one of tests that ran.
for preset in native windows-x86 windows; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
