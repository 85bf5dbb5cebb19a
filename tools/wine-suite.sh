#!/usr/bin/env bash
# One CTest suite of a Windows build, in a fresh private Wine prefix:
#   wine-suite.sh PREFIX win64|win32 CTEST_ARGS...
# The prefix is made afresh, stopped when the suite ends (also when it is interrupted),
# and removed when the suite passed; a failed suite's prefix stays to be looked into.
# The exit status is CTest's.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
prefix=${1:?prefix} arch=${2:?win64 or win32}; shift 2
trap '"$here/wine-prefix.sh" stop "$prefix"' EXIT
"$here/wine-prefix.sh" fresh "$prefix" "$arch" || exit 1
ctest "$@"
status=$?
"$here/wine-prefix.sh" stop "$prefix"
trap - EXIT
[ "$status" != 0 ] || rm -rf "$prefix"
exit "$status"
