#!/bin/sh
# Installs what the project needs on a Debian 12 machine; quick when nothing is missing.
set -eu

packages="cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev
g++-mingw-w64-x86-64-posix wine wine64 wine64-tools
xvfb xauth xdotool imagemagick fonts-wine"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "bootstrap: installing$missing"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
