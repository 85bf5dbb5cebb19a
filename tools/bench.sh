#!/usr/bin/env bash
# Builds and runs the benchmarks (the test command never runs them):
#  - the methods' costs through the vtable and IDispatch against the platform
#    calls they cannot avoid, name lookup, and the memory check: the x86-64
#    build under 64-bit Wine, with the DLL registered by regsvr32 in a private
#    prefix (this machine runs no 32-bit code);
#  - the registrar on scripts of growing size: the native build, optimised and
#    without sanitizers, over the in-memory registry.
# The figures depend on the machine and on what else runs on it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)
# Build directories: the presets' own unless given (to keep out of another's way).
win64=${TERVAGON_WIN64_DIR:-build/win64}
host=${TERVAGON_BENCH_HOST_DIR:-build/bench-host}

cmake --preset win64 -B "$win64" >/dev/null
cmake --build "$win64" -j "$jobs" --target Tervagon windows_bench >/dev/null
cmake --preset host -B "$host" -DCMAKE_BUILD_TYPE=Release -DTERVAGON_SANITIZE=OFF -DTERVAGON_FUZZ=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target registrar_throughput >/dev/null

prefix=$win64/bench-wineprefix
run() { tools/wine-run.sh "$prefix" "$@"; }
tools/wine-prefix.sh fresh "$prefix"
trap 'tools/wine-prefix.sh stop "$prefix"' EXIT
run regsvr32 /s "Z:$(realpath "$win64/bin/Tervagon.DLL" | tr / '\\')"
run reg add 'HKLM\SOFTWARE\Talmoren Technical Support' /v version /t REG_DWORD /d 0x02010004 /f >/dev/null

echo "== ControlInstaller, x86-64 build under 64-bit Wine ($(/usr/lib/wine/wine64 --version))"
# Without the string cache every freed string goes back to the allocator, so
# the memory check counts live strings exactly.
status=0
OANOCACHE=1 run "$win64/bin/windows_bench.exe" || status=1
echo
echo "== Registrar, native build ($(clang++ --version | head -n1))"
"$host/benchmarks/registrar_throughput" || status=1
exit $status
