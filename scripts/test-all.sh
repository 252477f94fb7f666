#!/bin/sh
# Installs what is missing, then builds and runs every test: natively (ASan/UBSan) and under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
for preset in native windows; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
