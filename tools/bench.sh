#!/usr/bin/env bash
# Builds and runs the benchmarks (the test command never runs them), in one run:
#  - the methods' costs through the vtable and IDispatch against the platform
#    calls they cannot avoid, name lookup, and the memory check: the shipped PE32
#    build under 32-bit Wine in a 64-bit prefix (WoW64, as in a 32-bit browser on
#    64-bit Windows), then the x86-64 build under 64-bit Wine, each DLL registered
#    by regsvr32 in a private prefix of its own. The PE32 build's 32-bit code runs as
#    tools/runs-32bit.sh decides; emulated figures (where the kernel runs no 32-bit
#    programs) are qemu's speed, not the product's, and are marked so: compare their
#    ratios to the floor, which the benchmark prints for both builds;
#  - the registrar on scripts of growing size: the native build, optimised and
#    without sanitizers, over the in-memory registry.
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
cmake --build "$win32" -j "$jobs" --target Tervagon windows_bench >/dev/null
cmake --preset win64 -B "$win64" >/dev/null
cmake --build "$win64" -j "$jobs" --target Tervagon windows_bench >/dev/null
cmake --preset host -B "$host" -DCMAKE_BUILD_TYPE=Release -DTERVAGON_SANITIZE=OFF -DTERVAGON_FUZZ=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target registrar_throughput >/dev/null

prefixes=()
trap 'for p in "${prefixes[@]}"; do tools/wine-prefix.sh stop "$p"; done' EXIT
status=0
# measure TITLE BUILD_DIR VIEW [RUNNER...]: the Windows benchmark against that build's
# DLL, the prefix's whole life inside RUNNER (tools/with-32bit.sh for the PE32 build).
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
        tools/wine-prefix.sh stop "$1"
        exit $measured' measure "$prefix" "$dir" "$view" || status=1
    echo
}

case "$road" in
native) measure "shipped PE32 build under 32-bit Wine, 64-bit prefix (WoW64), native" "$win32" 32 tools/with-32bit.sh ;;
emulated)
    why="this machine's kernel runs no 32-bit programs"
    [ "${TERVAGON_32BIT:-}" != emulated ] || why="TERVAGON_32BIT=emulated asks for it"
    echo "The PE32 figures below are EMULATED: 32-bit Wine runs under qemu-i386, as $why."
    echo "They are not the product's speed; compare only their ratios to the floor."
    measure "shipped PE32 build under 32-bit Wine, 64-bit prefix (WoW64), EMULATED" "$win32" 32 tools/with-32bit.sh ;;
esac
measure "x86-64 build under 64-bit Wine" "$win64" 64 env
echo "== Registrar, native build ($(clang++ --version | head -n1))"
"$host/benchmarks/registrar_throughput" || status=1
exit $status
