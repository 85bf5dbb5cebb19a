#!/usr/bin/env bash
# The browser tests' Wine prefix, as a machine with the package installed:
#   prefix.sh start PREFIX DLL   starts it (64-bit, WoW64) and registers the PE32 DLL
#                                with the support package's version, as the page tests do
#   prefix.sh stop PREFIX DLL    unregisters it and stops the prefix
set -euo pipefail
action=$1 prefix=$2 dll=$3
tools=$(dirname "$(realpath "$0")")/../../tools
case "$action" in
start)
    "$tools/wine-prefix.sh" start "$prefix" win64
    "$tools/register-dll.sh" --view 32 "$prefix" register "$dll" 0x02010004
    ;;
stop)
    status=0
    "$tools/register-dll.sh" --view 32 "$prefix" unregister "$dll" || status=1
    "$tools/wine-prefix.sh" stop "$prefix"
    exit $status
    ;;
*) echo "usage: $0 start|stop PREFIX DLL" >&2; exit 2 ;;
esac
