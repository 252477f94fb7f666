#!/bin/sh
# Runs a Windows program of the build under Wine: run.sh <build folder> <program> [arguments...]
set -eu
build=$1
shift
. "$(dirname "$0")/env.sh"
exec wine "$@"
