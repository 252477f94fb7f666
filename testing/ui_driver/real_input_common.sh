# Sourced by the real-input tests, with $build and $probe set: the build's Wine environment (or the
# test skipped where its programs cannot run), the end of what the test starts, and the helpers they
# share. The test sets $log (the stand-in's log) and $standin_pid and $morvane_pid as it starts them.
. "$(dirname "$0")/../wine/env.sh"
if [ -n "$morvane_wine_unavailable" ]; then
    echo "skipped: $morvane_wine_unavailable" >&2
    exit 77
fi
log="" standin_pid="" morvane_pid=""

finish() {
    # Ends only what this script started, by process id.
    for pid in $morvane_pid $standin_pid; do
        kill "$pid" 2>/dev/null || true
    done
}
trap finish EXIT

fail() {
    echo "$(basename "$0" .sh): $*" >&2
    [ -f "$log" ] && sed 's/^/  log: /' "$log" >&2
    exit 1
}

# Waits up to 20 s for a line of the stand-in's log that matches the extended regular expression.
wait_log() {
    tries=0
    until grep -Eq "$1" "$log" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && fail "no log line matching: $1"
        sleep 0.1
    done
}

# Prints "left top width height" of a window or control (see ui_probe.exe).
probe() {
    wine "$probe" "$@" </dev/null | tr -d '\r'
}

# Clicks with the real mouse in the middle of "left top width height".
click_middle() {
    set -- $1
    xdotool mousemove $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 1
}
