#!/usr/bin/env bash
# Sets up what is missing, builds the three configurations and runs every test:
#  - the shipped PE32 build (i686): every Windows test program under a fresh private
#    64-bit Wine prefix, where it runs under WoW64 as a 32-bit browser does on 64-bit
#    Windows, then the registration round trip and the page tests under a fresh 32-bit
#    prefix, as on 32-bit Windows;
#  - the x86-64 build of the same sources, the build for 64-bit hosts, under its own
#    64-bit prefix;
#  - the browsers: the extension, the page library and the PE32 host in headless Chromium
#    and Firefox ESR (tests/browser), in a prefix of their own;
#  - the host tests natively (AddressSanitizer, UBSan) and the fuzz targets for a
#    bounded time (TERVAGON_FUZZ_SECONDS at configure time; see docs/maintainers.md);
#  - the release, made from these builds and installed under Wine.
# The PE32 parts run their 32-bit code as tools/runs-32bit.sh decides: natively where the
# kernel runs 32-bit programs, else under emulation (tools/with-32bit.sh); the summary
# says which. A machine that can do neither fails at once with one line saying why.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
if ! road=$(tools/runs-32bit.sh); then
  echo "test: the shipped PE32 build can't be tested here: $road" >&2
  exit 1
fi
jobs=$(nproc)

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"; }
build win32
# The other two builds go on while the PE32 suites run, which mostly wait on Wine;
# their output is shown when they fail.
others_log=build/test-other-builds.log
( build win64 && build host ) >"$others_log" 2>&1 &
others=$!

# On an early exit, leave no build running behind (each suite stops its own prefix).
trap 'wait "$others" 2>/dev/null || true' EXIT

summary=()
status=0
# record NAME COMMAND...: runs one suite and records how it ended, and how long it took.
record() {
  local name=$1 started=$SECONDS; shift
  if "$@"; then
    summary+=("passed   $name ($((SECONDS - started)) s)")
  else
    summary+=("FAILED   $name ($((SECONDS - started)) s)")
    status=1
    return 1
  fi
}
suite() { local name=$1; shift; record "$name" ctest "$@"; }
# wine_suite NAME PREFIX ARCH CTEST_ARGS...: a CTest suite in a fresh private prefix.
wine_suite() {
  local name=$1 prefix=$2 arch=$3; shift 3
  record "$name" tools/wine-suite.sh "$prefix" "$arch" "$@"
}

# A part of the run that runs the shipped PE32 build's 32-bit code, on this machine's road.
# Under emulation the GoogleTest cases that can't pass there are left out, and named.
not_under_emulation=()
if [ "$road" = emulated ]; then
  mapfile -t not_under_emulation < <(grep -v '^[[:space:]]*\(#\|$\)' tests/not-under-emulation.txt)
fi
pe32_filter=""
[ ${#not_under_emulation[@]} = 0 ] || pe32_filter=-$(IFS=:; echo "${not_under_emulation[*]}")
# pe32 NAME COMMAND...: a suite that runs PE32 code; every such suite goes through here, so
# that it runs on the road (and under emulation, in the namespace) and says which.
pe32() {
  local name=$1; shift
  record "$name: $road" env ${pe32_filter:+GTEST_FILTER=$pe32_filter} tools/with-32bit.sh "$@"
}
# pe32_suite NAME PREFIX ARCH CTEST_ARGS...: a CTest suite of the PE32 build, its prefix made
# and used on the road only.
pe32_suite() {
  local name=$1 prefix=$2 arch=$3; shift 3
  pe32 "$name" tools/wine-suite.sh "$prefix" "$arch" "$@"
}

pe32_suite "PE32 build, 64-bit prefix (WoW64)" build/win32/wineprefix win64 --preset win32 -j 1 || true
pe32_suite "PE32 build, 32-bit prefix" build/win32/wineprefix32 win32 --preset win32-prefix32 -j 1 || true
# The extension and the page library in headless Chromium and Firefox ESR, with the PE32
# host under Wine (tests/browser).
pe32_suite "browsers: Chromium and Firefox ESR, extension and PE32 host (WoW64)" build/win32/wineprefix-browser win64 \
  --preset win32-browser -j 1 || true
if ! wait "$others"; then
  cat "$others_log" >&2
  echo "test: the win64 or host build failed (output above)" >&2
  exit 1
fi
echo "test: the win64 and host builds are done (output in $others_log)"
wine_suite "x86-64 build, 64-bit prefix" build/win64/wineprefix win64 --preset win64 -j 1 || true
suite "host build (native, sanitizers, bounded fuzzing)" --preset host -j "$jobs" || true
pe32 "release, under Wine (tests/release)" tests/release/release_test.sh || true
if [ ${#not_under_emulation[@]} -gt 0 ]; then
  summary+=("not run under emulation, in the PE32 suites (a bad pointer handed to the platform on purpose;"
            "  they run where the kernel runs 32-bit code, and in the x86-64 build): ${not_under_emulation[*]}")
fi

echo
echo "== test summary ($SECONDS s in all)"
printf '%s\n' "${summary[@]}"
exit $status
