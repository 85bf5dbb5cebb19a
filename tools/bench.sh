#!/usr/bin/env bash
# Builds and runs the benchmarks (the test command never runs them), in one run:
#  - the methods' costs through the vtable and IDispatch against the platform
#    calls they cannot avoid, name lookup, and the memory check: the shipped PE32
#    build under 32-bit Wine in a 64-bit prefix (WoW64, as in a 32-bit browser on
#    64-bit Windows), then the x86-64 build under 64-bit Wine, each DLL registered
#    by regsvr32 in a private prefix of its own, each followed by the same calls through
#    the native messaging host of its build. The PE32 build's 32-bit code runs as
#    tools/runs-32bit.sh decides; emulated figures (where the kernel runs no 32-bit
#    programs) are qemu's speed, not the product's, and are marked so: compare their
#    ratios to the floor, which the benchmark prints for both builds;
#  - the page library's roads: the time to the first answer and per call, through the
#    ActiveX object in the page host and through the extension and the PE32 host in
#    headless Chromium and Firefox ESR (on the same road as the PE32 figures);
#  - the registrar on scripts of growing size: the native build, optimised and
#    without sanitizers, over the in-memory registry;
#  - first of all, the download sizes: both DLLs as built (without symbols, not yet
#    signed) and a CAB of the PE32 DLL and its INF, against the release's budgets.
# The figures depend on the machine and on what else runs on it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
if ! road=$(tools/runs-32bit.sh); then
    echo "bench: the shipped PE32 DLL can't run here: $road" >&2
    exit 1
fi
jobs=$(nproc)
# Build directories: the presets' own unless given (to keep out of another's way).
win32=${TERVAGON_WIN32_DIR:-build/win32}
win64=${TERVAGON_WIN64_DIR:-build/win64}
host=${TERVAGON_BENCH_HOST_DIR:-build/bench-host}

cmake --preset win32 -B "$win32" >/dev/null
cmake --build "$win32" -j "$jobs" --target Tervagon windows_bench bridge_bench >/dev/null
cmake --preset win64 -B "$win64" >/dev/null
cmake --build "$win64" -j "$jobs" --target Tervagon windows_bench bridge_bench >/dev/null
cmake --preset host -B "$host" -DCMAKE_BUILD_TYPE=Release -DTERVAGON_SANITIZE=OFF -DTERVAGON_FUZZ=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target registrar_throughput >/dev/null
status=0

# The sizes are the build's, unsigned: a release's signatures add a few kilobytes to
# the DLL and the CAB (tools/release.sh prints the signed ones).
# shellcheck source=tools/release/budgets.sh
. tools/release/budgets.sh
echo "== Download sizes, unsigned, against the release's budgets (tools/release/budgets.sh)"
cab_dir=$(mktemp -d)
cp "$win32/bin/Tervagon.DLL" "$win32/release/Tervagon.inf" "$cab_dir/"
(cd "$cab_dir" && gcab -c -z Tervagon.cab Tervagon.DLL Tervagon.inf)
size_line "Tervagon.DLL (PE32)" "$win32/bin/Tervagon.DLL" "$TERVAGON_BUDGET_DLL" || status=1
size_line "Tervagon.cab" "$cab_dir/Tervagon.cab" "$TERVAGON_BUDGET_CAB" || status=1
size_line "Tervagon.DLL (x86-64)" "$win64/bin/Tervagon.DLL"
rm -rf "$cab_dir"
echo

prefixes=()
trap 'for p in "${prefixes[@]}"; do tools/wine-prefix.sh stop "$p"; done' EXIT
status=0
# measure TITLE BUILD_DIR VIEW [RUNNER...]: the Windows benchmark and the host's against
# that build's DLL, the prefix's whole life inside RUNNER (tools/with-32bit.sh for the
# PE32 build).
measure() {
    local title=$1 dir=$2 view=$3; shift 3
    local prefix=$dir/bench-wineprefix
    prefixes+=("$prefix")
    echo "== ControlInstaller, $title ($(/usr/lib/wine/wine64 --version))"
    "$@" bash -c '
        set -e
        tools/wine-prefix.sh fresh "$1" win64
        tools/register-dll.sh --view "$3" "$1" register "$2/bin/Tervagon.DLL" 0x02010004
        # Without the string cache every freed string goes back to the allocator, so
        # the memory check counts live strings exactly.
        measured=0
        OANOCACHE=1 tools/wine-run.sh "$1" "$2/bin/windows_bench.exe" || measured=1
        echo "-- through the native messaging host"
        tools/wine-run.sh "$1" "$2/bin/bridge_bench.exe" || measured=1
        tools/wine-prefix.sh stop "$1"
        exit $measured' measure "$prefix" "$dir" "$view" || status=1
    echo
}

case "$road" in
native) measure "shipped PE32 build under 32-bit Wine, 64-bit prefix (WoW64), native" "$win32" 32 tools/with-32bit.sh ;;
emulated)
    # shellcheck source=emulation-env.sh
    . tools/emulation-env.sh
    why=$(emulated_because)
    echo "The PE32 figures below are EMULATED: 32-bit Wine runs under qemu-i386, as $why."
    echo "They are not the product's speed; compare only their ratios to the floor."
    measure "shipped PE32 build under 32-bit Wine, 64-bit prefix (WoW64), EMULATED" "$win32" 32 tools/with-32bit.sh ;;
esac
measure "x86-64 build under 64-bit Wine" "$win64" 64 env
# The page library's two roads, with the shipped PE32 DLL registered in a prefix of their
# own: the ActiveX road in the page host, the extension road in headless Chromium and
# Firefox ESR with TervagonBridge.exe under Wine (benchmarks/roads), on the PE32 road.
cmake --build "$win32" -j "$jobs" --target pagehost TervagonBridge >/dev/null
prefixes+=("$win32/roads-wineprefix")
tools/with-32bit.sh bash -c '
    set -e
    win32=$1 road=$2 prefix=$1/roads-wineprefix library=$1/bin/tervagon.js
    tools/wine-prefix.sh fresh "$prefix" win64
    tools/register-dll.sh --view 32 "$prefix" register "$win32/bin/Tervagon.DLL" 0x02010004
    measured=0
    echo "== Page library, ActiveX road: the page host'"'"'s JScript, the PE32 DLL under WoW64, $road"
    started=$(date +%s%N)
    tools/wine-run.sh "$prefix" "$win32/bin/pagehost.exe" --url https://support.talmoren.com/ "$library" \
        benchmarks/roads/activex-first.js >/dev/null || measured=1
    echo "a new page (Wine starts the page host, which creates the object) to its first answer: $(( ($(date +%s%N) - started) / 1000000 )) ms"
    tools/wine-run.sh "$prefix" "$win32/bin/pagehost.exe" --url https://support.talmoren.com/ "$library" \
        benchmarks/roads/activex.js || measured=1
    echo
    node benchmarks/roads/roads.js --source "$PWD" --build "$win32" --prefix "$prefix" --work "$win32/roads-work" || measured=1
    tools/wine-prefix.sh stop "$prefix"
    exit $measured' roads "$win32" "$road" || status=1
echo "== Registrar, native build ($(clang++ --version | head -n1))"
"$host/benchmarks/registrar_throughput" || status=1
exit $status
