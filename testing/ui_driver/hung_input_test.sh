#!/bin/sh
# Real input while a call into the CAD application hangs: the X server's own mouse and keyboard
# (xdotool) press "Cancel" (a click; Tab then Space), or close the window (its close box; Alt+F4),
# while a call hangs for 30 s. Each time Morvane must end before the call returns, with no further
# call: the stand-in's log shows nothing after the hung call. The test follows the log, not the
# clock: it presses once the log shows the call hanging, and Morvane must be gone before the log
# shows the call returning (the time from press to end is printed, not checked).
# hung_input_test.sh <build folder> <morvane.exe> <cadstandin.exe> <ui_probe.exe>
set -eu
build=$1 morvane=$2 standin=$3 probe=$4
. "$(dirname "$0")/real_input_common.sh"
work="$morvane_build/hung-input"
rm -rf "$work"
mkdir -p "$work"

now_ms() {
    date +%s%3N
}

cat >"$work/scenario.txt" <<'SCENARIO'
window 300 40 640 480
text t1 60 80 "Abc"
pick t1
hang app Visible.put 30
SCENARIO

# One press while the call hangs: $1 names it, the rest of the arguments press it.
press_while_hung() {
    name=$1
    shift
    log="$work/$name.log"
    wine "$standin" --scenario "$(winepath -w "$work/scenario.txt")" --log "$(winepath -w "$log")" </dev/null >/dev/null 2>&1 &
    standin_pid=$!
    wait_log '^ready'
    wine "$morvane" </dev/null >/dev/null 2>&1 &
    morvane_pid=$!
    probe window Morvane >/dev/null || fail "$name: the Morvane window did not show"
    click_middle "$(probe control Morvane "Select Text")"
    wait_log '^hang app Visible.put'
    pressed=$(now_ms)
    "$@"
    # Until Morvane is gone; the hung call's return before that is the failure. A safety bound of
    # 60 s besides, should the stand-in never answer.
    tries=0
    while kill -0 "$morvane_pid" 2>/dev/null; do
        grep -Eq '^call app Visible.put' "$log" && fail "$name: the hung call returned before Morvane ended"
        tries=$((tries + 1))
        [ $tries -gt 600 ] && fail "$name: Morvane did not end within 60 s of the press"
        sleep 0.1
    done
    ended=$(($(now_ms) - pressed))
    wait "$morvane_pid" || true
    morvane_pid=""
    grep -Eq '^call .*(Caption|TextString|Update)' "$log" && fail "$name: a further call reached the stand-in"
    echo "hung input: $name ended Morvane ${ended} ms after the press (polled every 100 ms)"
    kill "$standin_pid" 2>/dev/null || true
    wait "$standin_pid" 2>/dev/null || true
    standin_pid=""
}

cancel_by_mouse() {
    click_middle "$(probe control Morvane Cancel)"
}

cancel_by_keyboard() {
    # "Select Text" has the focus after its click: Tab moves to "Cancel", Space presses it.
    xdotool key Tab space
}

close_by_keyboard() {
    xdotool key alt+F4
}

# The close box sits at the right end of the caption Wine draws (no window manager under Xvfb).
close_by_mouse() {
    set -- $(probe window Morvane)
    xdotool mousemove $(($1 + $3 - 11)) $(($2 + 11)) click 1
}

press_while_hung mouse cancel_by_mouse
press_while_hung keyboard cancel_by_keyboard
press_while_hung close-box close_by_mouse
press_while_hung alt-f4 close_by_keyboard
