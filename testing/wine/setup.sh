#!/bin/sh
# Test fixture: makes the build's Wine prefix (once), then starts an Xvfb display and a wineserver
# that stay up for the whole test run. teardown.sh stops them. MORVANE_WINE_SLOT chooses the slot's
# prefix and display (env.sh).
#   setup.sh <build folder> [32|64]   the build's programs are 32-bit or 64-bit (default 64)
# Where 32-bit programs cannot run (no 32-bit Wine, or a kernel without 32-bit support), it notes
# why in the build folder instead, and each Wine test of that build reports itself skipped.
set -eu
build=$1
bits=${2:-64}
here=$(dirname "$0")
reason=""
if [ "$bits" = 32 ]; then
    if ! "$here/machine_runs_32bit.sh"; then
        reason="this machine's kernel does not run 32-bit programs (32-bit Wine cannot start)"
    elif [ ! -x /usr/lib/wine/wine ]; then
        reason="32-bit Wine (wine32:i386) is not installed"
    fi
fi
# Every slot writes the same note: written whole and renamed, so that a test of another slot never
# reads it half made.
if [ -n "$reason" ]; then
    echo "$reason" >"$build/wine-unavailable.$$"
    mv -f "$build/wine-unavailable.$$" "$build/wine-unavailable"
    echo "32-bit programs cannot run here: $reason; the Wine tests of this build are skipped"
    exit 0
fi
rm -f "$build/wine-unavailable"
. "$here/env.sh"
mkdir -p "$morvane_wine_bin"
cp -P "$here"/bin/* "$morvane_wine_bin/"

if [ ! -f "$WINEPREFIX/.morvane-ready" ]; then
    rm -rf "$WINEPREFIX"
    # Plain wineboot: 'wineboot -i' on a missing prefix initialises twice and breaks COM.
    wineboot
    wineserver -w
    # Without a window manager, Wine must draw frames itself or every hide waits two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wineserver -w
    touch "$WINEPREFIX/.morvane-ready"
fi

"$here/teardown.sh" "$build"
. "$here/env.sh"

rm -f "$morvane_xvfb.display.new"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$morvane_xvfb.display.new" </dev/null >/dev/null 2>&1 &
echo $! >"$morvane_xvfb.pid"
tries=0
until [ -s "$morvane_xvfb.display.new" ]; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
tr -d '\n' <"$morvane_xvfb.display.new" >"$morvane_xvfb.display"
rm -f "$morvane_xvfb.display.new"
. "$here/env.sh"

# A persistent wineserver keeps the prefix warm between test programs.
wineserver -p </dev/null >/dev/null 2>&1
# What a test may change in the prefix is set again at every set-up, before the prefix's system
# processes start (the desktop takes the DPI when it starts): a test killed by its time limit never
# ran its own reset (at_dpi.sh's), and the next run would inherit its DPI.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f </dev/null >/dev/null 2>&1
# Start the prefix's system processes (services, devices, the desktop) now, detached from the
# caller's output: started by a test program they would hold the test's pipes open.
wine wineboot </dev/null >/dev/null 2>&1
wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1
echo "Wine prefix $WINEPREFIX, display $DISPLAY"
