#!/usr/bin/env bash
# registry-rows.sh against small trees: each case is a tree, the rows it must give (in
# order) or "fails" for a tree the package rows cannot carry.
#   registry_rows_test.sh
set -euo pipefail
here=$(dirname "$(realpath "$0")")
rows=$here/../../tools/release/registry-rows.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
R='    <RegistryValue Root="HKLM"'

# case NAME EXPECTED TREE: EXPECTED and TREE are lines separated by "\n".
case_() {
  local name=$1 expected=$2 tree=$3 actual status=0
  printf '%b\n' "$tree" >"$work/tree"
  actual=$("$rows" "$work/tree" Dll32 Folder32 2>"$work/err" | grep '<RegistryValue' || true)
  "$rows" "$work/tree" Dll32 Folder32 >/dev/null 2>&1 || status=$?
  if [ "$expected" = fails ]; then
    if [ "$status" != 0 ] && [ -s "$work/err" ]; then passed=$((passed + 1)); echo "ok   $name"; return; fi
    failed=$((failed + 1)); echo "FAIL $name: accepted"; return
  fi
  expected=$(printf '%b' "$expected")
  if [ "$status" = 0 ] && [ "$actual" == "$expected" ]; then passed=$((passed + 1)); echo "ok   $name"; return; fi
  failed=$((failed + 1)); echo "FAIL $name (status $status)"; diff <(echo "$expected") <(echo "$actual") || true
}

case_ "default and named text values" \
  "$R Key=\"SOFTWARE\\Classes\\X\" Type=\"string\" Value=\"a\"/>\n$R Key=\"SOFTWARE\\Classes\\X\" Name=\"n\" Type=\"string\" Value=\"b\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"a"\n"n"=sz:"b"'
case_ "the DLL's path and folder become the file and folder references" \
  "$R Key=\"SOFTWARE\\Classes\\X\" Type=\"string\" Value=\"[#Dll32]\"/>\n$R Key=\"SOFTWARE\\Classes\\X\" Name=\"D\" Type=\"string\" Value=\"[Folder32]\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"@MODULE@"\n"D"=sz:"@MODULE_DIR@"'
case_ "an empty leaf key gets a * row; a key holding only keys gets none" \
  "$R Key=\"SOFTWARE\\Classes\\C\\{1}\\Programmable\" Name=\"*\" Type=\"string\" Value=\"\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\C]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\C\\{1}]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\C\\{1}\\Programmable]'
case_ "brackets are literal text, not installer properties" \
  "$R Key=\"SOFTWARE\\Classes\\X\" Type=\"string\" Value=\"[\\[]p[\\]]\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"[p]"'
case_ "XML special characters and dump escapes" \
  "$R Key=\"SOFTWARE\\Classes\\A&amp;B\" Name=\"q&quot;\" Type=\"string\" Value=\"&lt;a\\\\b&gt;\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\A&B]\n"q\\""=sz:"<a\\\\b>"'
case_ "a DWORD becomes an integer row" \
  "$R Key=\"SOFTWARE\\T\" Name=\"version\" Type=\"integer\" Value=\"16777217\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n"version"=dword:01000001'
case_ "the same row twice is written once" \
  "$R Key=\"SOFTWARE\\Classes\\X\" Type=\"string\" Value=\"a\"/>" \
  '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"a"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"a"'
case_ "comments and blank lines are skipped" \
  "$R Key=\"SOFTWARE\\Classes\\X\" Type=\"string\" Value=\"a\"/>" \
  '; a comment\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"a"'
case_ "binary values are refused" fails '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n"b"=hex:01,02'
case_ "multi-string values are refused" fails '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n"m"=multi_sz:"a","b"'
case_ "non-ASCII text is refused" fails '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:"caf\\xE9"'
case_ "keys outside HKEY_LOCAL_MACHINE\\SOFTWARE are refused" fails '[HKEY_CURRENT_USER\\Software\\X]\n@=sz:"a"'
case_ "a value before any key is refused" fails '@=sz:"a"'
case_ "an unquoted value is refused" fails '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\X]\n@=sz:a'

echo "registry rows: $passed passed, $failed failed"
[ "$failed" = 0 ]
