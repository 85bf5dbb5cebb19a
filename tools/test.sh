#!/usr/bin/env bash
# Sets up what is missing, builds both configurations and runs every test:
# the Windows tests (x86-64 build) under a fresh private 64-bit Wine prefix, the host tests natively
# (AddressSanitizer, UBSan) and the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)

for preset in win32 win64 host; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

prefix=build/win64/wineprefix
tools/wine-prefix.sh fresh "$prefix"
trap 'tools/wine-prefix.sh stop "$prefix"' EXIT

status=0
ctest --preset win64 -j 1 || status=1
ctest --preset host -j "$jobs" || status=1
tests/release/release_test.sh || status=1
exit $status
