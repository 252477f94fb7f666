#!/bin/sh
# Test fixture: stops the build's wineserver (and every Wine process in its prefix) and its Xvfb, those
# of the slot MORVANE_WINE_SLOT (env.sh).
set -u
build=$1
. "$(dirname "$0")/env.sh"
if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
fi
if [ -f "$morvane_xvfb.pid" ]; then
    kill "$(cat "$morvane_xvfb.pid")" 2>/dev/null
    rm -f "$morvane_xvfb.pid" "$morvane_xvfb.display"
fi
exit 0
