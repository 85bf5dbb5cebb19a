#!/usr/bin/env bash
# CTest's emulator for Windows programs: wine-run.sh PREFIX PROGRAM [ARGS...]
set -euo pipefail
prefix=${1:?prefix}; shift
here=$(dirname "$(realpath "$0")")
"$here/wine-prefix.sh" start "$prefix"
export WINEPREFIX=$(realpath -m "$prefix") WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINELOADER=/usr/lib/wine/wine64
export WINEDLLOVERRIDES="mscoree,mshtml="
exec /usr/lib/wine/wine64 "$@"
