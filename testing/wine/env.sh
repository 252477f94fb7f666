# Sourced with the build folder in $build: the environment every Wine run of that build shares.
morvane_build=$(cd "$build" && pwd)
export WINEPREFIX="$morvane_build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Why this build's programs cannot run here, when setup.sh found that they cannot; empty otherwise.
morvane_wine_unavailable=$(cat "$morvane_build/wine-unavailable" 2>/dev/null || true)
if [ -f "$morvane_build/xvfb.display" ]; then
    DISPLAY=":$(cat "$morvane_build/xvfb.display")"
    export DISPLAY
fi
# Debian's Wine tools reach the loader through "wine" and "wine-stable" on the PATH: setup.sh puts
# the project's (testing/wine/bin) into the build folder.
case ":$PATH:" in
*":$morvane_build/wine-bin:"*) ;;
*) PATH="$morvane_build/wine-bin:$PATH" ;;
esac
export PATH
