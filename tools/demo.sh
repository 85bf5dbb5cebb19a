#!/usr/bin/env bash
# The example support page against the shipped DLL: sets up what is missing,
# builds, registers the PE32 DLL with the 32-bit regsvr32 in a private 64-bit
# Wine prefix (a typical visitor's machine: a 32-bit browser on 64-bit Windows),
# records the support package's version as the 32-bit installer does, and runs
# the example page script (examples/support-page.js as the build fills it in,
# bin/support-page.js, on the page library web/tervagon.js) in the 32-bit page host
# once from an allowed page address and once from a foreign one, showing the answers
# a real page would see (tools/demo-page.sh). The 32-bit code runs as
# tools/runs-32bit.sh decides: natively, or under emulation where the kernel runs no
# 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")/.."
# Build directories: the presets' own unless given (to keep out of another's way).
win32=${TERVAGON_WIN32_DIR:-build/win32}

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
if ! road=$(tools/runs-32bit.sh); then
    echo "demo: the shipped PE32 DLL can't run here: $road" >&2
    exit 1
fi
step "Building the shipped DLL and the page host (preset win32)"
build win32 "$win32" Tervagon pagehost
shipped="$win32/bin/Tervagon.DLL"
echo "shipped: $shipped ($(architecture "$shipped"))"
case "$road" in
native) echo "The shipped PE32 DLL runs here under 32-bit Wine, in a 64-bit prefix (WoW64), as in a 32-bit browser on 64-bit Windows." ;;
emulated)
    # shellcheck source=emulation-env.sh
    . tools/emulation-env.sh
    why=$(emulated_because)
    echo "The shipped PE32 DLL runs here under 32-bit Wine, in a 64-bit prefix (WoW64), as in a 32-bit browser on 64-bit Windows;" \
         "32-bit Wine itself runs under emulation (qemu-i386), as $why: slower, the same answers." ;;
esac
tools/with-32bit.sh tools/demo-page.sh "$win32"
