#!/bin/sh
# Runs a Windows program of the build under Wine: run.sh <build folder> <program> [arguments...]
# Exits with 77 (a skipped test) when the build's programs cannot run on this machine.
set -eu
build=$1
shift
. "$(dirname "$0")/env.sh"
if [ -n "$morvane_wine_unavailable" ]; then
    echo "skipped: $morvane_wine_unavailable" >&2
    exit 77
fi
exec wine "$@"
