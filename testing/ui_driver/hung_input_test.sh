#!/bin/sh
# Real input while a call into the CAD application hangs: the X server's own mouse and keyboard
# (xdotool) press "Cancel" (a click; Tab then Space), or close the window (its close box; Alt+F4),
# while a call hangs for 30 s: before the pick, with the window in sight, and after it, once the
# window has come back (by the mouse only: the window comes back without taking the keyboard).
# Each time Morvane must end before the call returns, with no further call: the stand-in's log
# shows nothing after the hung call. The test follows the log and the window, not the clock: it
# presses once the log shows the call hanging and the window is in sight, and Morvane must be gone
# before the log shows the call returning (the time from press to end is printed, not checked).
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

# The hung member: before the pick (making the application visible), after it (writing the text).
for hung in "app Visible.put" "t1 TextString.put"; do
    cat >"$work/scenario-${hung%% *}.txt" <<SCENARIO
window 300 40 640 480
text t1 60 80 "Abc"
pick t1
hang $hung 30
SCENARIO
done

# One press while the member $2 hangs ("app Visible.put" or "t1 TextString.put"): $1 names it, the
# rest of the arguments press it.
press_while_hung() {
    name=$1 hung=$2
    shift 2
    log="$work/$name.log"
    wine "$standin" --scenario "$(winepath -w "$work/scenario-${hung%% *}.txt")" --log "$(winepath -w "$log")" \
        </dev/null >/dev/null 2>&1 &
    standin_pid=$!
    wait_log '^ready'
    wine "$morvane" </dev/null >/dev/null 2>&1 &
    morvane_pid=$!
    probe window Morvane >/dev/null || fail "$name: the Morvane window did not show"
    click_middle "$(probe control Morvane "Select Text")"
    wait_log "^hang $hung"
    probe window Morvane >/dev/null || fail "$name: the Morvane window was not in sight while the call hung"
    pressed=$(now_ms)
    "$@"
    # Until Morvane is gone; the hung call's return before that is the failure. A safety bound of
    # 60 s besides, should the stand-in never answer.
    tries=0
    while kill -0 "$morvane_pid" 2>/dev/null; do
        grep -Eq "^call $hung" "$log" && fail "$name: the hung call returned before Morvane ended"
        tries=$((tries + 1))
        [ $tries -gt 600 ] && fail "$name: Morvane did not end within 60 s of the press"
        sleep 0.1
    done
    ended=$(($(now_ms) - pressed))
    wait "$morvane_pid" || true
    morvane_pid=""
    sed -n "/^hang $hung/,\$p" "$log" | grep -E '^call ' | grep -v "^call $hung" | grep -q . &&
        fail "$name: a further call reached the stand-in"
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

press_while_hung mouse "app Visible.put" cancel_by_mouse
press_while_hung keyboard "app Visible.put" cancel_by_keyboard
press_while_hung close-box "app Visible.put" close_by_mouse
press_while_hung alt-f4 "app Visible.put" close_by_keyboard
press_while_hung mouse-after-pick "t1 TextString.put" cancel_by_mouse
press_while_hung close-box-after-pick "t1 TextString.put" close_by_mouse
