#!/usr/bin/env bash
# Tells whether this machine can run the PE32 DLL under Wine: runs 32-bit Wine's own
# loader, a 32-bit x86 program, once. Exit status 0 when it ran; otherwise 1, with the
# reason as one line on standard output (a kernel without 32-bit support refuses the
# program with "Exec format error"; a machine without wine32 has no such loader).
set -uo pipefail
# TERVAGON_32BIT_LOADER stands in for the loader in the script's own tests.
loader=${TERVAGON_32BIT_LOADER:-/usr/lib/wine/wine}
if [ ! -x "$loader" ]; then
    echo "32-bit Wine is not installed ($loader missing: the wine32:i386 package)"
    exit 1
fi
if ! output=$("$loader" --version 2>&1); then
    echo "this kernel runs no 32-bit x86 programs ($loader: ${output:-no output})" | head -n1
    exit 1
fi
exit 0
