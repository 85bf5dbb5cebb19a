#!/usr/bin/env bash
# The demo's run of a built PE32 DLL (tools/demo.sh builds it and calls this where
# 32-bit code runs):  demo-page.sh BUILD_DIR
# Registers BUILD_DIR/bin/Tervagon.DLL with the 32-bit regsvr32 in a fresh private 64-bit
# prefix (BUILD_DIR/demo-wineprefix, removed at the end), records the support package's
# version in the 32-bit registry view, shows what registration wrote, and runs the
# example page script as the build fills it in (BUILD_DIR/bin/support-page.js), on the
# page library, in BUILD_DIR/bin/pagehost.exe from an allowed and a foreign page address.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:?build directory of the win32 preset}
allowed_url=${ALLOWED_URL:-https://support.talmoren.com/checkup/}
foreign_url=${FOREIGN_URL:-https://talmoren-support.example.net/checkup/}
package_version=0x02010004
dll=$build/bin/Tervagon.DLL pagehost=$build/bin/pagehost.exe prefix=$build/demo-wineprefix
script=$build/bin/support-page.js
# A 32-bit program on 64-bit Windows: the 32-bit regsvr32 and the 32-bit registry view.
view=32

step() { printf '\n== %s\n' "$*"; }
run() { tools/wine-run.sh "$prefix" "$@"; }

step "Registering in a private Wine prefix ($prefix)"
tools/wine-prefix.sh fresh "$prefix" win64
# Each run makes its prefix afresh, so nothing is kept of it.
trap 'tools/wine-prefix.sh stop "$prefix"; rm -rf "$prefix"' EXIT
# As an installer would: the regsvr32 of the DLL's bitness, and the support package's
# version in the registry view the DLL reads.
tools/register-dll.sh --view "$view" "$prefix" register "$dll" "$package_version"
echo "registered $dll with the $view-bit regsvr32"
clsid=$(grep -o '"{[^}]*}"' "$build/resources/include/server_ids.h" | head -n1 | tr -d '"')
run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" "/reg:$view" | tr -d '\r' | grep -v '^$' || true
# The class is in the DLL's own registry view; ProgIDs are in the one both views share.
run reg query "HKCR\\Tervagon.ControlInstaller\\CurVer" | tr -d '\r' | grep -v '^$' || true
echo "support package: HKLM\\SOFTWARE\\Talmoren Technical Support, version = $package_version ($view-bit registry view)"

for url in "$allowed_url" "$foreign_url"; do
    step "the example page script ($script), from $url"
    run "$pagehost" --url "$url" "$root/web/tervagon.js" "$script"
done
