#!/bin/sh
# Installs what the project needs on a Debian 12 machine; quick when nothing is missing.
set -eu
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
updated=no

# install <package>...: those of the packages that are not installed yet.
install() {
    missing=""
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $p"
        fi
    done
    [ -n "$missing" ] || return 0
    echo "bootstrap: installing$missing"
    [ $updated = yes ] || $sudo apt-get update -qq
    updated=yes
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

install cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev \
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine64-tools \
    xvfb xauth xdotool imagemagick fonts-wine zip

# The 32-bit programs run under Debian's 32-bit Wine, from the i386 architecture, where the kernel
# runs 32-bit programs at all. Elsewhere 32-bit Wine would only break the wine command (it prefers
# the 32-bit loader), and the 32-bit build's Wine tests report themselves skipped.
if testing/wine/machine_runs_32bit.sh; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "bootstrap: adding the i386 architecture (32-bit Wine)"
        $sudo dpkg --add-architecture i386
        updated=no
    fi
    install wine32:i386
else
    echo "bootstrap: this machine's kernel does not run 32-bit programs, so no 32-bit Wine here"
fi
