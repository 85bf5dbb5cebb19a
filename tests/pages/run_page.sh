#!/usr/bin/env bash
# Runs one page script in the test prefix and checks what a page would see:
#   run_page.sh [--view 32|64] [--dll DLL [--package VERSION]] [--errors PATTERN] \
#               PREFIX PAGEHOST EXPECTED_OUT EXPECTED_EXIT -- PAGEHOST_ARGS...
# --view: the registry view and system folder of the page host and the DLL (64 when
# not given): a 32-bit host in a 64-bit prefix sees the 32-bit view and SysWOW64.
# --dll: the DLL is registered with regsvr32 for this page alone (and the
# support package's version recorded), and unregistered afterwards, so that no
# other test's registration can stand in for it or take it away midway.
# EXPECTED_OUT is compared byte for byte with what the script wrote; in it,
# @FILEVERSION:name.dll@ stands for the file version of that system DLL of the
# prefix, read here from its version resource (Wine's own DLLs change with Wine)
# as the page host loads it.
# --errors: a pattern (grep -E) the host's error output must match; without it
# there must be no error output.
set -euo pipefail
dll="" package="" pattern="" view=64
while [ $# -gt 0 ]; do
    case "$1" in
    --view) view=$2; shift 2 ;;
    --dll) dll=$2; shift 2 ;;
    --package) package=$2; shift 2 ;;
    --errors) pattern=$2; shift 2 ;;
    *) break ;;
    esac
done
prefix=$1 pagehost=$2 expected=$3 expected_exit=$4
shift 4
[ "${1:-}" = "--" ] && shift
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
work=$(mktemp -d)
cleanup() {
    if [ -n "$dll" ]; then "$root/tools/register-dll.sh" --view "$view" "$prefix" unregister "$dll" || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# The fixed part of a PE version resource: signature 0xFEEF04BD, then the file
# version as two 32-bit words, high word of each first in the dotted form.
file_version() {
    local file=$1 offset
    offset=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE' "$file" | head -n1 | cut -d: -f1)
    [ -n "$offset" ] || { echo "no version resource in $file" >&2; return 1; }
    read -r minor major revision build < <(od -An -tu2 -j $((offset + 8)) -N8 "$file")
    echo "$major.$minor.$build.$revision"
}

# The prefix's system DLLs are there once it has started. A 32-bit program on
# 64-bit Windows finds them in SysWOW64.
"$root/tools/wine-prefix.sh" start "$prefix"
system_dir="$(realpath -m "$prefix")/drive_c/windows/system32"
if [ "$view" = 32 ] && [ -d "$(realpath -m "$prefix")/drive_c/windows/syswow64" ]; then
    system_dir="$(realpath -m "$prefix")/drive_c/windows/syswow64"
fi
cp "$expected" "$work/expected"
while placeholder=$(grep -o '@FILEVERSION:[^@]*@' "$work/expected" | head -n1) && [ -n "$placeholder" ]; do
    name=${placeholder#@FILEVERSION:}
    name=${name%@}
    version=$(file_version "$system_dir/$name")
    sed -i "s/$placeholder/$version/g" "$work/expected"
done

if [ -n "$dll" ]; then "$root/tools/register-dll.sh" --view "$view" "$prefix" register "$dll" $package; fi
status=0
"$root/tools/wine-run.sh" "$prefix" "$pagehost" "$@" >"$work/out" 2>"$work/err" || status=$?

failed=0
if [ "$status" != "$expected_exit" ]; then
    echo "exit status $status, expected $expected_exit" >&2
    failed=1
fi
if ! cmp -s "$work/expected" "$work/out"; then
    echo "the page wrote something else (- expected, + written):" >&2
    diff -u "$work/expected" "$work/out" | tail -n +3 >&2 || true
    failed=1
fi
if [ -n "$pattern" ] && ! grep -Eq -- "$pattern" "$work/err"; then
    echo "error output does not match /$pattern/" >&2
    failed=1
elif [ -z "$pattern" ] && [ -s "$work/err" ]; then
    echo "unexpected error output" >&2
    failed=1
fi
if [ -s "$work/err" ]; then
    echo "--- error output:" >&2
    cat "$work/err" >&2
fi
exit $failed
