#!/bin/sh
# Real input: the X server's own keyboard and mouse, driven by xdotool, walk the options, press
# "Select Text", pick a text in the stand-in's drawing and press OK on the message box; the stand-in's log shows the text written in
# the chosen case. Then "Title Case" on a formatted note: its codes are kept. Takes the screenshots of
# the dialog, of the message box and of the note before and after on the way.
# real_input_test.sh <build folder> <morvane.exe> <cadstandin.exe> <ui_probe.exe> <screenshot folder>
set -eu
build=$1 morvane=$2 standin=$3 probe=$4 shots=$5
. "$(dirname "$0")/real_input_common.sh"
work="$morvane_build/real-input"
rm -rf "$work"
mkdir -p "$work" "$shots"
log="$work/standin.log"

# Saves the screen's rectangle "left top width height" as a PNG.
shoot() {
    set -- $1 "$2"
    import -window root -crop "${3}x${4}+${1}+${2}" +repage "$5"
}

cat >"$work/scenario.txt" <<'SCENARIO'
window 250 40 770 520
text t1 60 80 "%%Unote"
text t2 60 160 "Second line of text"
line l1 60 260 520 300
mtext m1 60 375 "{\fArial|b1;NOTES:}\P1. {\C1;DO NOT SCALE}.\P2. SEE \LDETAIL A\l, \S1/2; IN."
pick-timeout 30
SCENARIO

wine "$standin" --scenario "$(winepath -w "$work/scenario.txt")" --log "$(winepath -w "$log")" </dev/null >/dev/null 2>&1 &
standin_pid=$!
wait_log '^ready'

# The formatted note with the command strip below it: "left top width height" on the screen.
note_area() {
    sed -n 's/^layout m1 .*screen=[0-9]*,\([0-9]*\),.*/\1/p' "$log" | head -n 1 | {
        read -r top
        echo "250 $((top - 14)) 770 $((40 + 520 - top + 14))"
    }
}
sleep 0.3
shoot "$(note_area)" "$shots/formatted-note-before.png"

wine "$morvane" </dev/null >/dev/null 2>&1 &
morvane_pid=$!
dialog=$(probe window Morvane) || fail "the Morvane window did not show"
sleep 0.3
shoot "$dialog" "$shots/morvane-dialog.png"

# The keyboard: the arrow keys walk the four options across the tab-order gap before Option4 and
# back; Escape leaves the window alone.
expect_state() {
    state=$(probe state Morvane)
    [ "$state" = "$(printf 'focus: %s\nchecked: %s' "$1" "$1")" ] || fail "after $2: $state"
}
expect_state "ALL UPPERCASE" "opening"
xdotool key Down Down Down
expect_state "Sentence Case" "three times Down"
xdotool key Escape
expect_state "Sentence Case" "Escape"
xdotool key Down
expect_state "ALL UPPERCASE" "Down from the last option"

click_middle "$(probe control Morvane "Select Text")"
wait_log '^pick-begin .*source=click'
centre=$(sed -n 's/^layout t1 .*center=\([0-9]*\),\([0-9]*\).*/\1 \2/p' "$log")
[ -n "$centre" ] || fail "no layout line for t1"
xdotool mousemove $centre click 1

box=$(probe box Morvane) || fail "no message box"
text=$(printf '%s\n' "$box" | sed -n 2p)
[ "$text" = "note" ] || fail "message box text '$text', expected 'note'"
sleep 0.3
shoot "$(printf '%s\n' "$box" | sed -n 1p)" "$shots/morvane-message.png"
click_middle "$(probe box-ok Morvane)"

wait_log '^call t1 TextString.put .*value="%%uNOTE" hr=0x00000000'
wait_log '^call t1 Update .*hr=0x00000000'
probe window Morvane >/dev/null || fail "the Morvane window did not come back"
sleep 0.3
import -window root "$shots/morvane-with-standin.png"

# Title Case on the formatted note: the visible words change, every code stays as it was.
click_middle "$(probe control Morvane "Title Case")"
click_middle "$(probe control Morvane "Select Text")"
wait_log '^pick-begin n=2 .*source=click'
centre=$(sed -n 's/^layout m1 .*center=\([0-9]*\),\([0-9]*\).*/\1 \2/p' "$log" | head -n 1)
[ -n "$centre" ] || fail "no layout line for m1"
xdotool mousemove $centre click 1
wait_log '^call m1 TextString.put .*hr=0x00000000'
written='value="{\\fArial|b1;Notes:}\\P1. {\\C1;Do Not Scale}.\\P2. See \\LDetail A\\l, \\S1/2; In."'
grep '^call m1 TextString.put ' "$log" | grep -qF "$written" || fail "m1 not written as $written"
wait_log '^call m1 Update .*hr=0x00000000'
probe window Morvane >/dev/null || fail "the Morvane window did not come back"
sleep 0.3
shoot "$(note_area)" "$shots/formatted-note-after.png"

click_middle "$(probe control Morvane Cancel)"
tries=0
while kill -0 "$morvane_pid" 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -gt 150 ] && fail "Morvane did not end on Cancel"
    sleep 0.1
done
morvane_pid=""

wine "$standin" --send exit --timeout 15 </dev/null >/dev/null 2>&1 || fail "the stand-in did not exit"
wait "$standin_pid" || true
standin_pid=""
echo "real input: picked t1 with the mouse, written %%uNOTE; the formatted note m1 in Title Case; screenshots in $shots"
