#!/bin/sh
# Soak (a measurement, not part of the tests): many picks in one run of Morvane against the stand-in,
# driven by the X server's own mouse and keyboard as the real-input test drives it: the options in
# turn, a text, a multiline text, a block's attributes and a dimension in turn, a miss every tenth
# pick. Checks every text written (the same entity in the same case always gets the same text) and
# that no message shows but the planned misses. Prints Morvane's footprint at the start, after the
# first 50 picks and at the end, and the stand-in's connections.
#   - Under Wine 8, GetGuiResources is a stub and a process's handle count reads 0: the USER, GDI and
#     handle figures are printed as ui_probe reads them (real figures on Windows); private memory is
#     read from the Linux process that runs morvane.exe.
# Usage: scripts/soak.sh [picks, default 1000]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
picks=${1:-1000}

cmake --preset windows >/dev/null
cmake --build --preset windows --target morvane cadstandin ui_probe >/dev/null
bin="$root/build/windows"
morvane="$bin/app/morvane.exe"
standin="$bin/cadstandin/cadstandin.exe"
probe="$bin/testing/ui_driver/ui_probe.exe"
work="$bin/soak"
mkdir -p "$work"

# A Wine prefix, display and wineserver of its own, as the tests have theirs.
testing/wine/setup.sh "$work" >/dev/null
build="$work"
. testing/wine/env.sh
log="$work/standin.log"
standin_pid="" morvane_pid=""
finish() {
    # Ends only what this script started, by process id, then its own Wine and display.
    for pid in $morvane_pid $standin_pid; do
        kill "$pid" 2>/dev/null || true
    done
    testing/wine/teardown.sh "$work"
}
trap finish EXIT

fail() {
    echo "soak: $*" >&2
    tail -n 40 "$log" 2>/dev/null | sed 's/^/  log: /' >&2
    exit 1
}

# Waits up to $2 tenths of a second (default 200) for a stand-in log line matching the regular expression.
wait_log() {
    tries=0
    until tail -n 400 "$log" | grep -Eq "$1"; do
        tries=$((tries + 1))
        [ $tries -gt "${2:-200}" ] && return 1
        sleep 0.1
    done
}

probe() {
    wine "$probe" "$@" </dev/null | tr -d '\r'
}

middle() {
    set -- $1
    echo $(($1 + $3 / 2)) $(($2 + $4 / 2))
}

# Waits up to 20 s for a log line matching the regular expression after the end of pick $1.
wait_after() {
    tries=0
    until sed -n "/^pick-end n=$1 /,\$p" "$log" | grep -Eq "$2"; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && return 1
        sleep 0.1
    done
}

# Waits up to 20 s until Morvane's window is on the screen again (its X window mapped).
wait_dialog() {
    tries=0
    until xdotool search --onlyvisible --name '^Morvane$' >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -gt 400 ] && return 1
        sleep 0.05
    done
}

# Private memory (kB) and open file descriptors of the Linux process that runs morvane.exe (the
# wine command execs into it).
linux_footprint() {
    private=$(awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum + 0 }' "/proc/$morvane_pid/smaps_rollup" 2>/dev/null || echo "?")
    fds=$(ls "/proc/$morvane_pid/fd" 2>/dev/null | wc -l)
    echo "linux-private-kB $private fds $fds"
}

connections() {
    wine "$standin" --send dump </dev/null >/dev/null 2>&1 || true
    grep '^refs-total reason=request' "$log" | tail -n 1 | sed 's/.*ext=\([0-9]*\).*/\1/'
}

footprint() {
    echo "soak: $1: $(probe resources Morvane) $(linux_footprint) stand-in-connections $(connections)"
}

cat >"$work/scenario.txt" <<'SCENARIO'
window 250 40 720 520
pick-timeout 60
text t1 60 60 "the first note. see plan"
mtext m1 60 140 "second NOTE\Pon two lines"
block b1 400 60 "DOOR"
attribute a1 b1 "MAKER" "acme doors ltd"
attribute a2 b1 "FIRE" "rated 30 min"
dimension d1 60 300 400 300 "<> max. see note"
SCENARIO

wine "$standin" --scenario "$(winepath -w "$work/scenario.txt")" --log "$(winepath -w "$log")" </dev/null >/dev/null 2>&1 &
standin_pid=$!
wait_log '^ready' || fail "the stand-in did not start"
wine "$morvane" </dev/null >/dev/null 2>&1 &
morvane_pid=$!
probe window Morvane >/dev/null || fail "the Morvane window did not show"

# Where to click: Morvane's controls (the window comes back where it was) and the entities' centres.
select_at=$(middle "$(probe control Morvane "Select Text")")
option_at() { middle "$(probe control Morvane "$1")"; }
upper_at=$(option_at "ALL UPPERCASE")
lower_at=$(option_at "all lowercase")
title_at=$(option_at "Title Case")
sentence_at=$(option_at "Sentence Case")
centre() { sed -n "s/^layout $1 .*center=\([0-9]*\),\([0-9]*\).*/\1 \2/p" "$log" | head -n 1; }
empty_at="700 480"

footprint "before the first pick"
started=$(date +%s)
expected="$work/expected.txt"
: >"$expected"
k=0
while [ $k -lt "$picks" ]; do
    k=$((k + 1))
    case $(( (k + k / 4) % 4 )) in
    0) mode=upper option=$upper_at ;;
    1) mode=lower option=$lower_at ;;
    2) mode=title option=$title_at ;;
    *) mode=sentence option=$sentence_at ;;
    esac
    case $((k % 4)) in
    0) entity=t1 member=TextString written=t1 ;;
    1) entity=m1 member=TextString written=m1 ;;
    2) entity=b1 member=TextString written=a1 ;;
    *) entity=d1 member=TextOverride written=d1 ;;
    esac
    miss=no
    [ $((k % 10)) -eq 0 ] && miss=yes
    xdotool mousemove $option click 1
    # "Select Text", again if the window was not back yet.
    tries=0
    until { xdotool mousemove $select_at click 1; wait_log "^pick-begin n=$k " 20; }; do
        tries=$((tries + 1))
        [ $tries -gt 10 ] && fail "pick $k did not begin"
    done
    if [ $miss = yes ]; then
        xdotool mousemove $empty_at click 1
        wait_log "^pick-end n=$k outcome=miss" || fail "pick $k: the miss did not end"
        box=$(probe box "Selection Error") || fail "pick $k: no message for the miss"
        [ "$(printf '%s\n' "$box" | sed -n 2p)" = "Missed the object, please try again" ] ||
            fail "pick $k: message '$(printf '%s\n' "$box" | sed -n 2p)'"
        xdotool mousemove $(middle "$(probe box-ok "Selection Error")") click 1
        wait_dialog || fail "pick $k: the window did not come back after the miss"
    else
        xdotool mousemove $(centre "$entity") click 1
        wait_log "^pick-end n=$k outcome=entity" || fail "pick $k: $entity was not picked"
        wait_after $k "^call $written $member.put " || fail "pick $k: nothing written to $written"
        value=$(sed -n "/^pick-end n=$k /,\$p" "$log" | grep "^call $written $member.put " | head -n 1 | sed 's/.* value=\(".*"\) hr=.*/\1/')
        known=$(grep "^$written $mode " "$expected" | cut -d' ' -f3- || true)
        if [ -z "$known" ]; then
            printf "%s %s %s\n" "$written" "$mode" "$value" >>"$expected"
        elif [ "$known" != "$value" ]; then
            fail "pick $k: $written in $mode case became $value, before $known"
        fi
        wait_after $k "^call $written Update .*hr=0x00000000" || fail "pick $k: $written was not redrawn"
        wait_dialog || fail "pick $k: the window did not come back"
    fi
    [ $k -eq 50 ] && footprint "after 50 picks"
    [ $((k % 100)) -eq 0 ] && echo "soak: $k picks, $(( $(date +%s) - started )) s, $(linux_footprint)"
done
elapsed=$(( $(date +%s) - started ))
footprint "after $k picks"
errors=$(grep -c '^call .* hr=0x8' "$log" || true)
echo "soak: $k picks in $elapsed s ($((elapsed * 1000 / k)) ms a pick); texts written, by entity and case:"
sed 's/^/  /' "$expected"
echo "soak: failing calls in the stand-in's log: $errors (the planned misses: $((k / 10)))"
