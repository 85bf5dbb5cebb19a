#!/usr/bin/env bash
# The example support page against the shipped DLL: sets up what is missing,
# builds, registers the PE32 DLL with the 32-bit regsvr32 in a private 64-bit
# Wine prefix (a typical visitor's machine: a 32-bit browser on 64-bit Windows),
# records the support package's version as the 32-bit installer does, and runs
# the example page script (examples/support-page.js as the build fills it in,
# bin/support-page.js, on the page library web/tervagon.js) in the 32-bit page host once from an allowed page
# address and once from a foreign one, showing the answers a real page would see.
# A machine whose kernel runs no 32-bit programs gets the x86-64 build instead,
# and is told so.
set -euo pipefail
cd "$(dirname "$0")/.."
allowed_url=${ALLOWED_URL:-https://support.talmoren.com/checkup/}
foreign_url=${FOREIGN_URL:-https://talmoren-support.example.net/checkup/}
package_version=0x02010004
# Build directories: the presets' own unless given (to keep out of another's way).
win32=${TERVAGON_WIN32_DIR:-build/win32}
win64=${TERVAGON_WIN64_DIR:-build/win64}

step() { printf '\n== %s\n' "$*"; }

# build PRESET DIR TARGETS...: quiet when it works; the whole output when it fails.
build() {
    local preset=$1 dir=$2; shift 2
    local log
    log=$(mktemp)
    if ! { cmake --preset "$preset" -B "$dir" && cmake --build "$dir" -j "$(nproc)" --target "$@"; } >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        echo "demo: the $preset build failed (output above)" >&2
        exit 1
    fi
    rm -f "$log"
}

# The PE header's machine field, as objdump names it.
architecture() { i686-w64-mingw32-objdump -f "$1" | sed -n 's/^architecture: \([^,]*\).*/\1/p'; }

tools/setup.sh
step "Building the shipped DLL and the page host (preset win32)"
build win32 "$win32" Tervagon pagehost
shipped="$win32/bin/Tervagon.DLL"
echo "shipped: $shipped ($(architecture "$shipped"))"

if reason=$(tools/runs-32bit.sh); then
    dll=$shipped pagehost=$win32/bin/pagehost.exe prefix=$win32/demo-wineprefix script=$win32/bin/support-page.js
    # A 32-bit program on 64-bit Windows: the 32-bit regsvr32 and the 32-bit registry view.
    view=32
    echo "The shipped PE32 DLL runs here under 32-bit Wine, in a 64-bit prefix (WoW64), as in a 32-bit browser on 64-bit Windows."
else
    step "Building the x86-64 DLL and page host instead (preset win64)"
    echo "The shipped PE32 DLL can't run here: $reason."
    build win64 "$win64" Tervagon pagehost
    dll=$win64/bin/Tervagon.DLL pagehost=$win64/bin/pagehost.exe prefix=$win64/demo-wineprefix
    script=$win64/bin/support-page.js
    view=64
    echo "The demo registers and runs the x86-64 build of the same sources ($dll) under 64-bit Wine."
fi

run() { tools/wine-run.sh "$prefix" "$@"; }
step "Registering in a private Wine prefix ($prefix)"
tools/wine-prefix.sh fresh "$prefix" win64
# Each run makes its prefix afresh, so nothing is kept of it.
trap 'tools/wine-prefix.sh stop "$prefix"; rm -rf "$prefix"' EXIT
# As an installer would: the regsvr32 of the DLL's bitness, and the support package's
# version in the registry view the DLL reads.
tools/register-dll.sh --view "$view" "$prefix" register "$dll" "$package_version"
echo "registered $dll with the $view-bit regsvr32"
clsid=$(grep -o '"{[^}]*}"' "$win32/resources/include/server_ids.h" | head -n1 | tr -d '"')
run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" "/reg:$view" | tr -d '\r' | grep -v '^$' || true
# The class is in the DLL's own registry view; ProgIDs are in the one both views share.
run reg query "HKCR\\Tervagon.ControlInstaller\\CurVer" | tr -d '\r' | grep -v '^$' || true
echo "support package: HKLM\\SOFTWARE\\Talmoren Technical Support, version = $package_version ($view-bit registry view)"

for url in "$allowed_url" "$foreign_url"; do
    step "the example page script ($script), from $url"
    run "$pagehost" --url "$url" "$root/web/tervagon.js" "$script"
done
