#!/bin/sh
# Runs a Windows program of the build under Wine with the system DPI set to the given value for
# the time it runs (Wine reads it when a program starts), then sets it back to 96:
#   at_dpi.sh <build folder> <dpi> <program> [arguments...]
# Tests that use it hold their slot's lock: every program of the prefix sees the setting.
set -eu
build=$1 dpi=$2
shift 2
here=$(dirname "$0")
. "$here/env.sh"
if [ -n "$morvane_wine_unavailable" ]; then
    echo "skipped: $morvane_wine_unavailable" >&2
    exit 77
fi
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
MORVANE_SYSTEM_DPI=$dpi wine "$@"
