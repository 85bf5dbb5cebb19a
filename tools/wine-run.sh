#!/usr/bin/env bash
# CTest's emulator for Windows programs: wine-run.sh PREFIX PROGRAM [ARGS...]
# Runs PROGRAM in the private prefix, starting the prefix first when it is not running.
set -euo pipefail
prefix=${1:?prefix}; shift
here=$(dirname "$(realpath "$0")")
"$here/wine-prefix.sh" start "$prefix"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
wine_env "$prefix"
if [ "${TERVAGON_32BIT_ROAD:-}" = emulated ]; then
  # A program that hangs under emulation is killed, so that it fails instead of holding
  # up the run (TERVAGON_32BIT_PROGRAM_SECONDS, default 600).
  exec timeout --foreground -s KILL "${TERVAGON_32BIT_PROGRAM_SECONDS:-600}" "$wine" "$@"
fi
exec "$wine" "$@"
