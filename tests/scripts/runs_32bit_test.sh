#!/usr/bin/env bash
# tools/runs-32bit.sh decides whether the PE32 suites run: each case gives it a
# loader that behaves as on some machine and checks its exit status and its reason.
#   runs_32bit_test.sh PATH/TO/runs-32bit.sh
set -uo pipefail
check=${1:?runs-32bit.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A program of the wrong format for this kernel, as a 32-bit ELF is where ia32 is off.
printf '\x7fELF\x01\x01\x01\x00garbage' >"$work/refused"
chmod +x "$work/refused"
printf '#!/bin/sh\necho wine-8.0\n' >"$work/runs"
printf '#!/bin/sh\nexit 3\n' >"$work/fails-silently"
chmod +x "$work/runs" "$work/fails-silently"

# loader | exit status | pattern (grep -E) the reason must match, empty: no output at all
cases=(
    "$work/runs|0|"
    "$work/refused|1|^this kernel runs no 32-bit x86 programs \(.*refused: .*(format|binary).*\)$"
    "$work/fails-silently|1|^this kernel runs no 32-bit x86 programs \(.*fails-silently: no output\)$"
    "$work/absent|1|^32-bit Wine is not installed \(.*absent missing: the wine32:i386 package\)$"
)
failed=0
for entry in "${cases[@]}"; do
    IFS='|' read -r loader want_status pattern <<<"$entry"
    reason=$(TERVAGON_32BIT_LOADER=$loader bash "$check")
    status=$?
    name=$(basename "$loader")
    if [ "$status" != "$want_status" ]; then
        echo "FAIL $name: exit status $status, expected $want_status" >&2; failed=1
    fi
    if [ -z "$pattern" ]; then
        [ -z "$reason" ] || { echo "FAIL $name: unexpected output '$reason'" >&2; failed=1; }
    elif [ "$(printf '%s\n' "$reason" | wc -l)" != 1 ] || ! grep -Eq -- "$pattern" <<<"$reason"; then
        echo "FAIL $name: reason '$reason' does not match /$pattern/" >&2; failed=1
    fi
done
[ "$failed" = 0 ] && echo "runs-32bit.sh: ${#cases[@]} cases passed"
exit $failed
