#!/bin/sh
# Measures morvane.exe's footprint and prints the figures (a measurement, not a test):
#   - its size (target: under 250 KB);
#   - the DLLs it imports (target: Windows system DLLs only, no MinGW runtime DLL);
#   - its start-up time to a visible window under Wine, next to a minimal Win32 window program
#     built the same way, in one run with the starts interleaved (target: within 1.2 times); and
#     next to that minimal program with seven common-controls buttons, which shows what the
#     controls themselves cost.
# Usage: scripts/footprint.sh [starts of each program, default 15]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-15}
build=build/windows

cmake --preset windows >/dev/null
cmake --build --preset windows --target morvane minimal_window minimal_window_buttons startup_timer >/dev/null
exe=$build/app/morvane.exe
minimal=$build/testing/ui_driver/minimal_window.exe
buttons=$build/testing/ui_driver/minimal_window_buttons.exe

size=$(stat -c %s "$exe")
echo "size: morvane.exe $size bytes ($((size / 1024)) KiB), minimal window program $(stat -c %s "$minimal") bytes; target under 250 KB (256000 bytes)"

# The build's Wine prefix, display and wineserver, as the tests use them.
testing/wine/setup.sh "$build" >/dev/null
trap 'testing/wine/teardown.sh "$build" >/dev/null' EXIT
. testing/wine/env.sh

system32="$WINEPREFIX/drive_c/windows/system32"
others=""
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    if ls "$system32" | grep -qix "$dll"; then
        echo "imports: $dll (system)"
    else
        echo "imports: $dll (NOT a system DLL)"
        others="$others $dll"
    fi
done
[ -z "$others" ] && echo "imports: system DLLs only" || echo "imports: non-system DLLs:$others"

timings=$(testing/wine/run.sh "$build" "$build/testing/ui_driver/startup_timer.exe" "$runs" \
    "$(winepath -w "$exe")" Morvane "$(winepath -w "$minimal")" Minimal "$(winepath -w "$buttons")" Minimal |
    tr -d '\r')
printf '%s\n' "$timings" | sed 's/^/start-up: /'
# The machine may be busy with other work: the ratio of the fastest starts is the steadier figure.
printf '%s\n' "$timings" | awk '
    { for (i = 1; i <= NF; i++) { if ($i == "median") median[NR] = $(i + 1); if ($i == "min") fastest[NR] = $(i + 1) } }
    END { printf "start-up: morvane / minimal = %.2f (medians), %.2f (fastest starts); target at most 1.20\n",
                 median[1] / median[2], fastest[1] / fastest[2]
          printf "start-up: minimal with buttons / minimal = %.2f (medians); morvane / minimal with buttons = %.2f\n",
                 median[3] / median[2], median[1] / median[3] }'
