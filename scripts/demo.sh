#!/bin/sh
# The demo: installs what is missing, builds the Windows programs, then starts the stand-in CAD
# application with its sample drawing and Morvane beside it, under Wine.
#   - With a working X display ($DISPLAY): the windows show there. Choose a case, press "Select Text"
#     and click a text in the drawing. The demo ends when Morvane ends ("Cancel" or its close box);
#     it then closes the stand-in. Ctrl+C ends both at any time.
#   - Without one: everything runs on a private Xvfb display, the demo saves a screenshot of both
#     windows to build/windows/demo/demo.png, closes them and ends by itself (every wait is bounded:
#     at most a few minutes on a fresh machine, a few seconds once built).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/bootstrap.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target morvane cadstandin ui_probe

bin="$root/build/windows"
morvane="$bin/app/morvane.exe"
standin="$bin/cadstandin/cadstandin.exe"
probe="$bin/testing/ui_driver/ui_probe.exe"
demo="$bin/demo"
mkdir -p "$demo"

export WINEPREFIX="$demo/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid="" standin_pid="" morvane_pid=""
finish() {
    # Ends only what the demo started: its two programs, its prefix's wineserver, its Xvfb.
    for pid in $morvane_pid $standin_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wineserver -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap finish EXIT
trap 'exit 130' INT TERM

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    headless=no
    managed=Y
else
    headless=yes
    managed=N  # no window manager on Xvfb: Wine draws the frames itself
    rm -f "$demo/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/display" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    tries=0
    until [ -s "$demo/display" ]; do
        tries=$((tries + 1))
        [ $tries -gt 100 ] && { echo "demo: Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
    DISPLAY=":$(tr -d '\n' <"$demo/display")"
    export DISPLAY
fi

if [ ! -f "$WINEPREFIX/.morvane-ready" ]; then
    echo "demo: making the Wine prefix (once, about half a minute)"
    rm -rf "$WINEPREFIX"
    wineboot >/dev/null 2>&1
    wineserver -w
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    touch "$WINEPREFIX/.morvane-ready"
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d $managed /f >/dev/null 2>&1

# The sample drawing, with the drawing window to the right of where Morvane opens.
printf 'window 260 40 740 560\npick-timeout 0\n' >"$demo/scenario.txt"
log="$demo/standin.log"
rm -f "$log"
wine "$standin" --scenario "$(winepath -w "$demo/scenario.txt")" --log "$(winepath -w "$log")" </dev/null &
standin_pid=$!
tries=0
until grep -q '^ready' "$log" 2>/dev/null; do
    tries=$((tries + 1))
    if [ $tries -gt 600 ] || ! kill -0 "$standin_pid" 2>/dev/null; then
        echo "demo: the stand-in CAD application did not start" >&2
        [ -f "$log" ] && cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done

wine "$morvane" </dev/null &
morvane_pid=$!

if [ $headless = no ]; then
    echo "demo: Morvane and the stand-in CAD application are up on $DISPLAY."
    echo "demo: choose a case, press \"Select Text\", click a text in the drawing. \"Cancel\" ends the demo."
    wait "$morvane_pid" || true
    morvane_pid=""
else
    wine "$probe" window Morvane </dev/null >/dev/null || { echo "demo: Morvane did not show" >&2; exit 1; }
    sleep 0.5
    import -window root "$demo/demo.png"
    echo "demo: no display here; a screenshot of Morvane beside the stand-in is in $demo/demo.png"
fi
wine "$standin" --send exit --timeout 15 </dev/null >/dev/null 2>&1 || true
echo "demo: done"
