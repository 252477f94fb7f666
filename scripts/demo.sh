#!/bin/sh
# The demo: installs what is missing, builds the Windows programs, then starts the stand-in CAD
# application with its sample drawing and Morvane beside it, under Wine.
#   - With a working X display ($DISPLAY): the windows show there. Choose a case, press "Select Text"
#     and click a text in the drawing. The demo ends when Morvane ends ("Cancel" or its close box);
#     it then closes the stand-in. Ctrl+C ends both at any time.
#   - Without one: everything runs on a private Xvfb display, the demo saves a screenshot of both
#     windows to build/windows/demo/demo.png, closes them and ends by itself. Every wait is bounded,
#     so a headless run never hangs: a few minutes on a fresh machine, seconds once built.
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

user_display=${DISPLAY:-}
# The demo's own Wine prefix (made once, about half a minute), with a private Xvfb display and a
# wineserver, as the tests have theirs.
echo "demo: starting Wine"
testing/wine/setup.sh "$demo" >/dev/null
build="$demo"
. testing/wine/env.sh

standin_pid="" morvane_pid=""
finish() {
    # Ends only what the demo started: its two programs, its prefix's wineserver, its Xvfb.
    for pid in $morvane_pid $standin_pid; do
        kill "$pid" 2>/dev/null || true
    done
    testing/wine/teardown.sh "$demo"
}
trap finish EXIT
trap 'exit 130' INT TERM

if [ -n "$user_display" ] && DISPLAY="$user_display" xdotool getdisplaygeometry >/dev/null 2>&1; then
    headless=no
    managed=Y  # the user's window manager frames the windows
    # The user's display instead of the private one; Wine starts again on it.
    testing/wine/teardown.sh "$demo"
    DISPLAY="$user_display"
    export DISPLAY
else
    headless=yes
    managed=N  # no window manager on Xvfb: Wine draws the frames itself
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d $managed /f >/dev/null 2>&1

# The sample drawing of a recent release (fields, a multileader, a door schedule), with the drawing
# window to the right of where Morvane opens.
release=25
printf 'window 250 40 774 720\npick-timeout 0\n' >"$demo/scenario.txt"
log="$demo/standin.log"
rm -f "$log"
wine "$standin" --release $release --scenario "$(winepath -w "$demo/scenario.txt")" --log "$(winepath -w "$log")" </dev/null &
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
wine "$standin" --release $release --send exit --timeout 15 </dev/null >/dev/null 2>&1 || true
echo "demo: done"
