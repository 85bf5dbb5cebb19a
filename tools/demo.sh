#!/usr/bin/env bash
# The example support page against the real DLL: sets up what is missing,
# builds, registers the DLL with the platform's regsvr32 in a private Wine
# prefix, records the support package's version, and runs
# examples/support-page.js once from an allowed page address and once from a
# foreign one, showing the answers a real page would see.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
allowed_url=${ALLOWED_URL:-https://support.talmoren.com/checkup/}
foreign_url=${FOREIGN_URL:-https://talmoren-support.example.net/checkup/}
package_version=0x02010004
# Build directories: the presets' own unless given (to keep out of another's way).
win32=${TERVAGON_WIN32_DIR:-build/win32}
win64=${TERVAGON_WIN64_DIR:-build/win64}

step() { printf '\n== %s\n' "$*"; }

tools/setup.sh
step "Building (presets win32 and win64)"
cmake --preset win32 -B "$win32" >/dev/null
cmake --build "$win32" -j "$(nproc)" >/dev/null
cmake --preset win64 -B "$win64" -DTERVAGON_PE32_DLL="$(realpath -m "$win32/bin/Tervagon.DLL")" >/dev/null
cmake --build "$win64" -j "$(nproc)" --target Tervagon pagehost >/dev/null
echo "shipped: $win32/bin/Tervagon.DLL ($(file -b "$win32/bin/Tervagon.DLL" | cut -d, -f1))"
echo "This machine runs no 32-bit code, so the demo registers and runs the x86-64 build ($win64/bin/Tervagon.DLL) under 64-bit Wine."

prefix=$win64/demo-wineprefix
run() { tools/wine-run.sh "$prefix" "$@"; }
step "Registering in a private Wine prefix ($prefix)"
tools/wine-prefix.sh fresh "$prefix"
trap 'tools/wine-prefix.sh stop "$prefix"' EXIT
dll="Z:$(realpath "$win64/bin/Tervagon.DLL" | tr / '\\')"
run regsvr32 /s "$dll"
echo "regsvr32 $dll: done"
clsid=$(grep -o '"{[^}]*}"' "$win64/resources/include/server_ids.h" | head -n1 | tr -d '"')
run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" | tr -d '\r' | grep -v '^$' || true
run reg query "HKCR\\Tervagon.ControlInstaller\\CurVer" | tr -d '\r' | grep -v '^$' || true
run reg add 'HKLM\SOFTWARE\Talmoren Technical Support' /v version /t REG_DWORD /d "$package_version" /f >/dev/null
echo "support package: HKLM\\SOFTWARE\\Talmoren Technical Support, version = $package_version"

for url in "$allowed_url" "$foreign_url"; do
    step "examples/support-page.js, from $url"
    run "$win64/bin/pagehost.exe" --url "$url" "$root/examples/support-page.js"
done
