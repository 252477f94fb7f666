#!/bin/sh
# Installs what is missing, then builds and runs every test: natively (ASan/UBSan), and under Wine for
# the 64-bit and the 32-bit Windows build.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
for preset in native windows windows-x86; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
