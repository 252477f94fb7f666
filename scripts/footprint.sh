#!/bin/sh
# Measures the footprint of both builds of morvane.exe, 64-bit and 32-bit, and prints the figures
# (a measurement, not a test):
#   - its size (target: under 250 KB);
#   - the DLLs it imports (target: Windows system DLLs only, no MinGW runtime DLL) and the Windows
#     version its headers ask for (subsystem 6.1, Windows 7);
#   - its start-up time to a visible window under Wine, next to a minimal Win32 window program
#     built the same way, in one run with the starts interleaved (target: within 1.1 times); and
#     next to that minimal program with seven common-controls buttons, which shows what the
#     controls themselves cost. Where 32-bit programs cannot run, the 32-bit build has no times.
# Usage: scripts/footprint.sh [starts of each program, default 15]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-15}

measure() {
    preset=$1 bits=$2
    build=build/$preset
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target morvane minimal_window minimal_window_buttons startup_timer >/dev/null
    exe=$build/app/morvane.exe
    minimal=$build/testing/ui_driver/minimal_window.exe
    buttons=$build/testing/ui_driver/minimal_window_buttons.exe
    objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
    echo "== $preset ($bits-bit)"

    size=$(stat -c %s "$exe")
    echo "size: morvane.exe $size bytes ($((size / 1024)) KiB), minimal window program $(stat -c %s "$minimal") bytes; target under 250 KB (256000 bytes)"
    headers=$("$objdump" -p "$exe")
    printf '%s\n' "$headers" | awk '$1 == "MajorSubsystemVersion" { major = $2 } $1 == "MinorSubsystemVersion" { minor = $2 }
        END { printf "subsystem version: %s.%s; target 6.1 (Windows 7)\n", major, minor }'

    # The build's Wine prefix, display and wineserver, as the tests use them.
    testing/wine/setup.sh "$build" "$bits" >/dev/null
    . testing/wine/env.sh

    # The system DLLs as the 64-bit prefix has them; a 32-bit program's have the same names.
    system32=build/windows/wineprefix/drive_c/windows/system32
    others=""
    for dll in $(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
        if ls "$system32" | grep -qix "$dll"; then
            echo "imports: $dll (system)"
        else
            echo "imports: $dll (NOT a system DLL)"
            others="$others $dll"
        fi
    done
    [ -z "$others" ] && echo "imports: system DLLs only" || echo "imports: non-system DLLs:$others"

    if [ -n "$morvane_wine_unavailable" ]; then
        echo "start-up: not measured: $morvane_wine_unavailable"
        return
    fi
    timings=$(testing/wine/run.sh "$build" "$build/testing/ui_driver/startup_timer.exe" "$runs" \
        "$(winepath -w "$exe")" Morvane "$(winepath -w "$minimal")" Minimal "$(winepath -w "$buttons")" Minimal |
        tr -d '\r')
    testing/wine/teardown.sh "$build" >/dev/null
    printf '%s\n' "$timings" | sed 's/^/start-up: /'
    # The machine may be busy with other work: the ratio of the fastest starts is the steadier figure.
    printf '%s\n' "$timings" | awk '
        { for (i = 1; i <= NF; i++) { if ($i == "median") median[NR] = $(i + 1); if ($i == "min") fastest[NR] = $(i + 1) } }
        END { printf "start-up: morvane / minimal = %.2f (medians), %.2f (fastest starts); target at most 1.10\n",
                     median[1] / median[2], fastest[1] / fastest[2]
              printf "start-up: minimal with buttons / minimal = %.2f (medians); morvane / minimal with buttons = %.2f\n",
                     median[3] / median[2], median[1] / median[3] }'
}

# The 64-bit build first: its prefix lists the system DLLs for both.
trap 'testing/wine/teardown.sh build/windows >/dev/null; testing/wine/teardown.sh build/windows-x86 >/dev/null' EXIT
measure windows 64
measure windows-x86 32
