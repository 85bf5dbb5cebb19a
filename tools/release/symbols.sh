#!/usr/bin/env bash
# Checks a shipped Windows binary against the symbols kept for it:
#   symbols.sh check BINARY SYMBOLS_DIR
# BINARY (a PE file, signed or not) must carry no symbol table and no debugging
# sections, and name its symbols file in a debug link (.gnu_debuglink, which the build
# writes: cmake/shipped_binaries.cmake). That file must be in SYMBOLS_DIR/x86 or
# SYMBOLS_DIR/x64 by the binary's machine, with the CRC the link records, and carry the
# binary's build identifier (its CodeView record, by which a crash dump names it).
# Prints the symbols file's path; on a mismatch says why on stderr, with status 1.
set -euo pipefail
action=${1:?check} binary=${2:?binary} symbols=${3:?symbols folder}
[ "$action" = check ] || { echo "usage: $0 check BINARY SYMBOLS_DIR" >&2; exit 2; }
# The x86-64 tools read PE32 files too.
objdump=x86_64-w64-mingw32-objdump objcopy=x86_64-w64-mingw32-objcopy
fail() { echo "symbols: $binary: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A 32-bit little-endian number at OFFSET of FILE.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
# The build identifier: the CodeView record's signature and age.
build_id() { "$objdump" -p "$1" | sed -n 's/.*(format RSDS signature \([0-9a-f]*\) age \([0-9]*\).*/\1-\2/p'; }

# The COFF header follows the "PE\0\0" signature at the offset stored at 0x3C; its
# NumberOfSymbols is at +12. (Long section names may leave a string table behind it.)
pe=$(u32 "$binary" 60)
symbol_count=$(u32 "$binary" $((pe + 16)))
[ "$symbol_count" = 0 ] || fail "carries a symbol table of $symbol_count entries"
debug_sections=$("$objdump" -h "$binary" | awk '$2 ~ /^\.(z?debug|stab)/ {print $2}' | xargs)
[ -z "$debug_sections" ] || fail "carries debugging sections: $debug_sections"

case "$("$objdump" -f "$binary" | sed -n 's/^architecture: \([^,]*\).*/\1/p')" in
  i386) arch=x86 ;;
  i386:x86-64) arch=x64 ;;
  *) fail "not a PE file for x86 or x86-64" ;;
esac
if ! "$objcopy" --dump-section .gnu_debuglink="$work/link" "$binary" "$work/copy" 2>/dev/null || [ ! -s "$work/link" ]; then
  fail "names no symbols file (no .gnu_debuglink section)"
fi
# The link: the file's name, NUL-padded to a multiple of 4, then its CRC-32.
name=$(head -c "$(($(stat -c %s "$work/link") - 4))" "$work/link" | tr -d '\0')
crc=$(u32 "$work/link" $(($(stat -c %s "$work/link") - 4)))
file=$symbols/$arch/$name
[ -f "$file" ] || fail "its symbols file $file is missing"
# gzip ends with the CRC-32 of the data (the checksum the debug link uses too).
actual=$(gzip -c "$file" | tail -c 8 | od -An -tu4 -N4 | tr -d ' ')
[ "$actual" = "$crc" ] || fail "the debug link's CRC $crc is not that of $file ($actual)"
id=$(build_id "$binary")
[ -n "$id" ] || fail "carries no build identifier"
[ "$(build_id "$file")" = "$id" ] || fail "$file is of another build (identifier $(build_id "$file"), not $id)"
echo "$file"
