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
#    bounded time (TERVAGON_FUZZ_SECONDS at configure time; see docs/maintainers.md).
# On a machine whose kernel runs no 32-bit programs the two PE32 suites can't run: that
# is found out once, said in one line, and the rest runs; the summary never counts them
# as passed.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)

build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"; }
build win32
# The other two builds go on while the PE32 suites run, which mostly wait on Wine;
# their output is shown when they fail.
others_log=build/test-other-builds.log
( build win64 && build host ) >"$others_log" 2>&1 &
others=$!

prefixes=()
finish() {
  wait "$others" 2>/dev/null || true  # on an early exit, leave no build running behind
  for prefix in "${prefixes[@]}"; do tools/wine-prefix.sh stop "$prefix"; done
}
trap finish EXIT

summary=()
status=0
# suite NAME CTEST_ARGS...: runs one CTest suite and records how it ended.
suite() {
  local name=$1; shift
  if ctest "$@"; then
    summary+=("passed   $name")
  else
    summary+=("FAILED   $name")
    status=1
    return 1
  fi
}
# One Wine suite at a time: each prefix is started fresh and stopped once its suite is done.
wine_suite() {
  local name=$1 prefix=$2 arch=$3; shift 3
  prefixes+=("$prefix")
  tools/wine-prefix.sh fresh "$prefix" "$arch"
  if suite "$name" "$@"; then
    # A passed suite's prefix has nothing left to show; a failed one's is kept to look into.
    tools/wine-prefix.sh stop "$prefix"
    rm -rf "$prefix"
  else
    tools/wine-prefix.sh stop "$prefix"
  fi
}

if reason=$(tools/runs-32bit.sh); then
  wine_suite "PE32 build, 64-bit prefix (WoW64)" build/win32/wineprefix win64 --preset win32 -j 1
  wine_suite "PE32 build, 32-bit prefix" build/win32/wineprefix32 win32 --preset win32-prefix32 -j 1
  # The extension and the page library in headless Chromium and Firefox ESR, with the PE32
  # host under Wine (tests/browser).
  wine_suite "browsers: Chromium and Firefox ESR, extension and PE32 host (WoW64)" build/win32/wineprefix-browser win64 \
    --preset win32-browser -j 1
else
  echo "test: PE32 suites SKIPPED, not run: $reason" >&2
  summary+=("SKIPPED  PE32 build, 64-bit and 32-bit prefixes, and the browsers: $reason")
fi
if ! wait "$others"; then
  cat "$others_log" >&2
  echo "test: the win64 or host build failed (output above)" >&2
  exit 1
fi
echo "test: the win64 and host builds are done (output in $others_log)"
wine_suite "x86-64 build, 64-bit prefix" build/win64/wineprefix win64 --preset win64 -j 1
suite "host build (native, sanitizers, bounded fuzzing)" --preset host -j "$jobs" || true
if reason=$(tools/runs-32bit.sh); then
  if tests/release/release_test.sh; then summary+=("passed   release, under Wine (tests/release)")
  else summary+=("FAILED   release, under Wine (tests/release)"); status=1; fi
else
  summary+=("SKIPPED  release, under Wine: $reason")
fi

echo
echo "== test summary"
printf '%s\n' "${summary[@]}"
exit $status
