# Sourced with the build folder in $build: the environment every Wine run of that build shares.
# The build's Wine tests run in slots side by side (MORVANE_WINE_SLOT, 1 when unset), each with a
# prefix, a wineserver and an Xvfb display of its own; slot 1's are "wineprefix" and "xvfb".
morvane_build=$(cd "$build" && pwd)
morvane_slot=${MORVANE_WINE_SLOT:-1}
if [ "$morvane_slot" = 1 ]; then morvane_slot_suffix=""; else morvane_slot_suffix="-$morvane_slot"; fi
morvane_xvfb="$morvane_build/xvfb$morvane_slot_suffix"
morvane_wine_bin="$morvane_build/wine-bin$morvane_slot_suffix"
export WINEPREFIX="$morvane_build/wineprefix$morvane_slot_suffix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Why this build's programs cannot run here, when setup.sh found that they cannot; empty otherwise.
morvane_wine_unavailable=$(cat "$morvane_build/wine-unavailable" 2>/dev/null || true)
if [ -f "$morvane_xvfb.display" ]; then
    DISPLAY=":$(cat "$morvane_xvfb.display")"
    export DISPLAY
fi
# Debian's Wine tools reach the loader through "wine" and "wine-stable" on the PATH: setup.sh puts
# the project's (testing/wine/bin) into the build folder, a copy for each slot.
case ":$PATH:" in
*":$morvane_wine_bin:"*) ;;
*) PATH="$morvane_wine_bin:$PATH" ;;
esac
export PATH
