#!/usr/bin/env bash
# Puts a DLL into a private prefix as an installer would, and takes it out again
# (the page tests, the demo and the benchmarks all register this way):
#   register-dll.sh [--view 32|64] PREFIX register|unregister DLL [PACKAGE_VERSION]
# register: regsvr32 DLL, and the support package's version value (a DWORD);
# unregister: regsvr32 /u DLL, and the package key removed.
# --view: the registry view the DLL reads (64 when not given). A 32-bit DLL on
# 64-bit Windows reads the 32-bit view, so the package key goes there, as the
# 32-bit installer writes it; on 32-bit Windows the one view is both.
set -euo pipefail
view=64
if [ "${1:-}" = "--view" ]; then view=$2; shift 2; fi
prefix=$1 action=$2 dll=$3 package=${4:-}
here=$(dirname "$(realpath "$0")")
run="$here/wine-run.sh"
package_key='HKLM\SOFTWARE\Talmoren Technical Support'
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
windows_dll=$(wine_path "$dll")  # regsvr32 wants a Windows path
# A 32-bit DLL on 64-bit Windows is registered by the 32-bit regsvr32, as its installer does.
regsvr32=regsvr32
if [ "$view" = 32 ] && [ -d "$(realpath -m "$prefix")/drive_c/windows/syswow64" ]; then
    regsvr32='C:\windows\syswow64\regsvr32.exe'
fi

case "$action" in
register)
    "$run" "$prefix" "$regsvr32" /s "$windows_dll" || { echo "$regsvr32 $windows_dll failed" >&2; exit 1; }
    if [ -n "$package" ]; then
        "$run" "$prefix" reg add "$package_key" /v version /t REG_DWORD /d "$package" /f "/reg:$view" >/dev/null
    fi
    ;;
unregister)
    status=0
    "$run" "$prefix" "$regsvr32" /s /u "$windows_dll" || { echo "$regsvr32 /u $windows_dll failed" >&2; status=1; }
    "$run" "$prefix" reg delete "$package_key" /f "/reg:$view" >/dev/null 2>&1 || true
    exit $status
    ;;
*)
    echo "usage: $0 [--view 32|64] PREFIX register|unregister DLL [PACKAGE_VERSION]" >&2
    exit 2
    ;;
esac
