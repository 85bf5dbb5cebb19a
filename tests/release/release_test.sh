#!/usr/bin/env bash
# The release as visitors' and managed machines get it, checked under Wine:
#   tests/release/release_test.sh
# Makes a release from the presets' builds (tools/release.sh --from-presets) into
# build/release-test/dist, then checks its signatures and their refusal of a changed
# byte, the CAB's contents and INF, the INF's install in a fresh 32-bit prefix, and
# each MSI package's silent install, page run, registry trees, removal and upgrade in a
# fresh prefix of its platform. Each registry tree is compared with what that build's
# regsvr32 writes in a fresh prefix of its own, paths aside.
# Prints one line per check and ends with "N passed, N failed"; exit status 1 on a failure.
set -euo pipefail
cd "$(dirname "$0")/../.."
# The release's PE32 programs run where this machine runs 32-bit code: natively, or in the
# namespace of the emulated road (tools/with-32bit.sh), which the whole check then runs in.
[ -n "${TERVAGON_32BIT_ROAD:-}" ] || exec tools/with-32bit.sh "$0" "$@"
root=$(pwd)
work=$root/build/release-test
dist=$work/dist
allowed_url=https://support.talmoren.com/checkup/
passed=0 failed=0

# Every prefix of the run is under $work (fresh below runs in a subshell, so no list of
# them is kept).
cleanup() {
  local prefix
  for prefix in "$work"/prefix-*; do
    if [ -d "$prefix" ]; then tools/wine-prefix.sh stop "$prefix" >/dev/null 2>&1 || true; fi
  done
}
trap cleanup EXIT

check() {
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok   $name"
  else failed=$((failed + 1)); echo "FAIL $name"; fi
}
# Two texts that must be equal; the difference is shown when they are not.
same() {
  local expected=$1 actual=$2
  if [ "$expected" == "$actual" ]; then return 0; fi
  diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | tail -n +3 | head -40 >&2 || true
  return 1
}

rm -rf "$work"
mkdir -p "$work"
tools/release.sh --from-presets --out "$dist" >"$work/release.log" 2>&1 || { cat "$work/release.log"; exit 1; }
# shellcheck disable=SC1091
. build/win32/release/release.env
signing=build/release/signing
pagehost64=build/win64/bin/pagehost.exe
pagehost32=build/win32/bin/pagehost.exe

# --- What is shipped ---------------------------------------------------------------------
check "dist holds the four files, the extension packages, their SHA256SUMS, the example page, the library and the symbols" \
  same "SHA256SUMS Tervagon-extension-chromium.zip Tervagon-extension-firefox.zip Tervagon-x64.msi Tervagon-x86.msi Tervagon.DLL Tervagon.cab support-page.html symbols tervagon.js" \
  "$(cd "$dist" && LC_ALL=C ls | xargs)"
check "SHA256SUMS matches the files" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"
check "the release says when it signs with a throwaway certificate" \
  grep -q "THROWAWAY TEST CERTIFICATE" "$work/release.log"
check "the throwaway certificate's subject says it is one" \
  bash -c "openssl x509 -in '$signing/test-cert.pem' -noout -subject | grep -q 'TEST CERTIFICATE - NOT FOR DISTRIBUTION'"
check "Tervagon.DLL is PE32 for Intel 80386" \
  bash -c "file -b '$dist/Tervagon.DLL' | grep -q '^PE32 executable (DLL).*Intel 80386'"

# A copy of FILE with one byte changed, at a third of its length (in the code or the
# cabinet's data, well clear of the signature at the end).
tampered() {
  local file=$1 copy=$2 offset byte
  cp "$file" "$copy"
  offset=$(($(stat -c %s "$file") / 3))
  byte=$(od -An -tu1 -j "$offset" -N1 "$file" | tr -d ' ')
  printf "\\x$(printf %02x $(((byte + 1) % 256)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc status=none
}
verifies() { tools/release/sign.sh verify "$signing" "$1" >/dev/null 2>&1; }
refused() { ! verifies "$1"; }
for file in Tervagon.DLL Tervagon.cab; do
  check "osslsigncode verify accepts $file" verifies "$dist/$file"
  tampered "$dist/$file" "$work/tampered-$file"
  check "osslsigncode verify refuses $file with one byte changed" refused "$work/tampered-$file"
done

# The maker's certificate from the environment: a code-signing certificate issued by a CA,
# its key protected by a password read from a file.
maker=$work/maker
mkdir -p "$maker"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Talmoren Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout "$maker/ca-key.pem" -out "$maker/ca.pem" 2>/dev/null
echo "maker's password" >"$maker/password"
openssl req -newkey rsa:2048 -subj "/O=Talmoren/CN=Talmoren code signing" \
  -passout file:"$maker/password" -keyout "$maker/key.pem" -out "$maker/request.pem" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$maker/ext"
openssl x509 -req -in "$maker/request.pem" -CA "$maker/ca.pem" -CAkey "$maker/ca-key.pem" -CAcreateserial \
  -days 2 -extfile "$maker/ext" -out "$maker/cert.pem" 2>/dev/null
maker_sign() {
  TERVAGON_SIGN_CERT=$maker/cert.pem TERVAGON_SIGN_KEY=$maker/key.pem TERVAGON_SIGN_PASSWORD_FILE=$maker/password \
    TERVAGON_SIGN_CA=$maker/ca.pem tools/release/sign.sh "$@"
}
maker_sign setup "$maker/signing" >"$maker/setup.log" 2>&1 || true
check "with the maker's certificate set, the release names it and not a throwaway one" \
  bash -c "grep -q 'Talmoren code signing' '$maker/setup.log' && ! grep -q THROWAWAY '$maker/setup.log'"
osslsigncode remove-signature -in "$dist/Tervagon.DLL" -out "$maker/unsigned.DLL" >/dev/null
maker_sign sign "$maker/signing" "$maker/unsigned.DLL" "$maker/Tervagon.DLL" 2>/dev/null || true
check "a DLL signed with the maker's certificate and password-protected key verifies against its CA" \
  bash -c 'TERVAGON_SIGN_CERT=$1/cert.pem TERVAGON_SIGN_CA=$1/ca.pem tools/release/sign.sh verify "$1/signing" "$1/Tervagon.DLL" >/dev/null 2>&1' _ "$maker"
check "a DLL signed with the maker's certificate does not verify against the throwaway one" refused "$maker/Tervagon.DLL"

# --- The CAB and its INF -----------------------------------------------------------------
cab=$work/cab
mkdir -p "$cab"
check "the CAB lists exactly Tervagon.DLL and Tervagon.inf" \
  same "Tervagon.DLL Tervagon.inf" "$(cabextract -l "$dist/Tervagon.cab" 2>/dev/null | awk -F' [|] ' '$1 ~ /^ *[0-9]+$/ {print $3}' | sort | xargs)"
cabextract -q -d "$cab" "$dist/Tervagon.cab" 2>/dev/null
check "the CAB's DLL is the signed Tervagon.DLL" cmp -s "$cab/Tervagon.DLL" "$dist/Tervagon.DLL"

# The value of KEY in [SECTION] of an INF; names without regard to case, as the platform reads them.
inf_value() {
  LC_ALL=C awk -v section="$2" -v key="$3" '
    { sub(/\r$/, "") }
    /^[ \t]*(;|$)/ { next }
    /^\[.*\]$/ { current = tolower(substr($0, 2, length($0) - 2)); next }
    current == tolower(section) {
      eq = index($0, "="); if (!eq) next
      name = substr($0, 1, eq - 1); gsub(/^[ \t]+|[ \t]+$/, "", name)
      if (tolower(name) == tolower(key)) { value = substr($0, eq + 1); gsub(/^[ \t]+|[ \t]+$/, "", value); print value; exit }
    }' "$1"
}
# Every line is a comment, a section, a key=value or a plain entry of a section, CR LF ended.
inf_well_formed() {
  LC_ALL=C awk '
    !/\r$/ { print "line " NR ": no CR LF" > "/dev/stderr"; bad = 1 }
    { sub(/\r$/, "") }
    /^[ \t]*(;|$)/ { next }
    /^\[[^]]+\]$/ { seen = 1; next }
    !seen { print "line " NR ": outside a section" > "/dev/stderr"; bad = 1 }
    END { exit bad }' "$1"
}
# The file version of a PE file from its version resource's fixed part.
file_version() {
  local offset
  offset=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE' "$1" | head -n1 | cut -d: -f1)
  read -r minor major revision build < <(od -An -tu2 -j $((offset + 8)) -N8 "$1")
  echo "$major.$minor.$build.$revision"
}
inf=$cab/Tervagon.inf
check "the INF is well formed" inf_well_formed "$inf"
inf_cases=(
  # section      key             expected
  "version       signature       \"\$CHICAGO\$\""
  "Add.Code      Tervagon.DLL    Tervagon.DLL"
  "Tervagon.DLL  clsid           $CLSID"
  "Tervagon.DLL  FileVersion     $VERSION_COMMAS"
  "Tervagon.DLL  RegisterServer  yes"
  "Tervagon.DLL  file-win32-x86  thiscab"
)
for case in "${inf_cases[@]}"; do
  read -r section key expected <<<"$case"
  check "INF [$section] $key=$expected" same "$expected" "$(inf_value "$inf" "$section" "$key")"
done
check "the DLL's file version is the INF's ($VERSION)" same "$VERSION" "$(file_version "$dist/Tervagon.DLL")"
check "the release's example page asks for version $VERSION_COMMAS" \
  grep -q "codebase=\"Tervagon.cab#version=$VERSION_COMMAS\"" "$dist/support-page.html"

# --- The browser extension and the page library -------------------------------------------
check "dist's tervagon.js is web/tervagon.js" cmp -s web/tervagon.js "$dist/tervagon.js"
check "the example page loads tervagon.js from beside it" grep -q '<script src="tervagon.js"></script>' "$dist/support-page.html"
# unzipped FAMILY: the package's files, extracted into a folder of their own.
unzipped() {
  local folder=$work/extension-$1
  rm -rf "$folder" && mkdir -p "$folder"
  (cd "$folder" && cmake -E tar xf "$dist/Tervagon-extension-$1.zip") && echo "$folder"
}
manifest_value() {  # manifest_value FOLDER KEY...: a value of the manifest, "(none)" when absent
  node -e 'let value = JSON.parse(require("fs").readFileSync(process.argv[1] + "/manifest.json", "utf8"));
for (const key of process.argv.slice(2)) value = value == null ? undefined : value[key];
console.log(value === undefined ? "(none)" : value);' "$@"
}
for family in chromium firefox; do
  folder=$(unzipped "$family")
  check "the $family package holds the manifest and the two scripts" \
    same "content.js manifest.json worker.js" "$(cd "$folder" && LC_ALL=C ls | xargs)"
  check "the $family package's scripts are extension/'s" \
    bash -c "cmp -s extension/content.js '$folder/content.js' && cmp -s extension/worker.js '$folder/worker.js'"
  check "the $family package's version is $VERSION" same "$VERSION" "$(manifest_value "$folder" version)"
done
check "the Chromium package carries no key (the stores refuse one)" same "(none)" "$(manifest_value "$work/extension-chromium" key)"
check "the Firefox package's add-on id is the one the host serves" \
  same "tervagon@talmoren.com" "$(manifest_value "$work/extension-firefox" browser_specific_settings gecko id)"

# --- Registry trees --------------------------------------------------------------------------
fresh() {  # fresh NAME ARCH: a new prefix, stopped at the end
  local prefix=$work/prefix-$1
  tools/wine-prefix.sh fresh "$prefix" "$2" >/dev/null
  echo "$prefix"
}
run() { local prefix=$1; shift; tools/wine-run.sh "$prefix" "$@"; }
# A program as a process of the given bitness runs it: in a 64-bit prefix the 32-bit
# loader starts the 32-bit system programs (SysWOW64), which see the 32-bit view.
. tools/wine-env.sh
run_as() {
  local bits=$1 prefix=$2; shift 2
  tools/wine-prefix.sh start "$prefix"
  (wine_env "$prefix"; if [ "$bits" = 32 ]; then exec /usr/lib/wine/wine "$@"; else exec /usr/lib/wine/wine64 "$@"; fi)
}
windows_path() { wine_path "$1"; }
roots=("HKCR\\AppID\\$APPID" 'HKCR\AppID\Tervagon.DLL' 'HKCR\Tervagon.ControlInstaller'
       'HKCR\Tervagon.ControlInstaller.1' "HKCR\\CLSID\\$CLSID" "HKCR\\CLSID\\$IID"
       "HKCR\\Interface\\$IID" "HKCR\\TypeLib\\$LIBID")
# The server's registry tree in one view, as a program of that bitness reads it: one
# "KEY|value" line each, sorted; paths to the DLL and its folder as <DLL> and <FOLDER>.
# TypeLib is one key for both views: the other build's platform entry under it is left out.
tree() {
  local prefix=$1 view=$2 other=win64 root
  [ "$view" = 64 ] && other=win32
  for root in "${roots[@]}"; do
    run_as "$view" "$prefix" reg query "$root" /s 2>/dev/null || echo "$root (absent)"
  done | tr -d '\r' | LC_ALL=C awk -v other="\\\\0\\\\$other" '
    /^$/ || /^reg: / { next }
    /^HKEY_|\(absent\)$/ { key = $0; skip = index(key, other) > 0; if (!skip) print key "|"; next }
    skip { next }
    { sub(/^    /, "")
      sub(/    [A-Za-z]:\\.*\\Tervagon\.DLL$/, "    <DLL>")
      sub(/    [A-Za-z]:\\.*\\$/, "    <FOLDER>")
      print key "|" $0 }' | LC_ALL=C sort
}
package_value() {  # the support package's value in one view, or nothing
  run_as "$2" "$1" reg query 'HKLM\SOFTWARE\Talmoren Technical Support' /v version 2>/dev/null |
    tr -d '\r' | awk '$1 == "version" { print $2 " " $3 }'
}
# What regsvr32 of DLL writes in a fresh prefix: reference NAME ARCH DLL VIEW
# (the regsvr32 of the DLL's bitness, as on Windows)
reference() {
  local prefix
  prefix=$(fresh "$1" "$2")
  mkdir -p "$prefix/drive_c/reference"
  cp "$3" "$prefix/drive_c/reference/Tervagon.DLL"
  run_as "$4" "$prefix" regsvr32 /s 'C:\reference\Tervagon.DLL'
  tree "$prefix" "$4" >"$work/reference-$1.tree"
  tools/wine-prefix.sh stop "$prefix"
  [ -s "$work/reference-$1.tree" ] && ! grep -q '(absent)' "$work/reference-$1.tree"
}
# The files a package carries, by their file identifiers, from its embedded cabinet.
extracted=$work/extracted
for package in x64 x86; do
  mkdir -p "$extracted/$package"
  msiinfo extract "$dist/Tervagon-$package.msi" product.cab >"$extracted/$package.cab"
  cabextract -q -d "$extracted/$package" "$extracted/$package.cab"
done
dll64=$extracted/x64/Tervagon64 dll64_32=$extracted/x64/Tervagon32 dll86=$extracted/x86/Tervagon32
check "Tervagon-x86.msi carries the signed Tervagon.DLL" cmp -s "$dll86" "$dist/Tervagon.DLL"
check "Tervagon-x64.msi carries the signed Tervagon.DLL for 32-bit hosts" cmp -s "$dll64_32" "$dist/Tervagon.DLL"
check "Tervagon-x64.msi carries an x86-64 DLL for 64-bit hosts" \
  bash -c "file -b '$dll64' | grep -q '^PE32+ executable (DLL).*x86-64' && tools/release/sign.sh verify '$signing' '$dll64' >/dev/null 2>&1"

# --- Symbols and sizes ---------------------------------------------------------------------
# Every Windows binary that ships, on its own and in the CAB and the packages: no symbol
# table, no debugging sections, and its own symbols file under dist/symbols.
symbols_named=$work/symbols-named
: >"$symbols_named"
shipped_count=0
for binary in "$dist/Tervagon.DLL" "$cab"/* "$extracted"/*/*; do
  file -b "$binary" | grep -q '^PE32' || continue
  shipped_count=$((shipped_count + 1))
  check "${binary#"$work"/} carries no symbols, and dist/symbols holds the ones of its build" \
    bash -c 'tools/release/symbols.sh check "$1" "$2" >>"$3"' _ "$binary" "$dist/symbols" "$symbols_named"
done
check "the binaries checked include the five DLLs (dist, the CAB's, the packages' three): $shipped_count" \
  test "$shipped_count" -ge 5
check "dist/symbols holds nothing but the symbols files the shipped binaries name" \
  same "$(LC_ALL=C sort -u "$symbols_named")" "$(find "$dist/symbols" -type f | LC_ALL=C sort)"
# The check itself tells one build's symbols from another's.
mkdir -p "$work/wrong-symbols/x86"
cp "$dist/symbols/x64/Tervagon.DLL.debug" "$work/wrong-symbols/x86/"
check "the PE32 DLL does not accept the x86-64 DLL's symbols as its own" \
  bash -c '! tools/release/symbols.sh check "$1" "$2" 2>/dev/null' _ "$dist/Tervagon.DLL" "$work/wrong-symbols"
# shellcheck source=tools/release/budgets.sh
. tools/release/budgets.sh
within_budget() { size_line "$@" >/dev/null; }
for entry in "Tervagon.DLL $TERVAGON_BUDGET_DLL" "Tervagon.cab $TERVAGON_BUDGET_CAB"; do
  read -r name budget <<<"$entry"
  check "$name is within its budget ($(with_commas "$(stat -c %s "$dist/$name")") of $(with_commas "$budget") bytes)" \
    within_budget "$name" "$dist/$name" "$budget"
done

check "regsvr32 registers the DLL in a fresh 32-bit prefix" reference win32 win32 "$dist/Tervagon.DLL" 32
check "regsvr32 (32-bit) registers the DLL in a fresh 64-bit prefix" reference wow64 win64 "$dist/Tervagon.DLL" 32
check "regsvr32 (64-bit) registers the x86-64 DLL in a fresh 64-bit prefix" reference win64 win64 "$dll64" 64

# --- The INF installed by hand -------------------------------------------------------------
prefix=$(fresh inf win32)
run "$prefix" rundll32 setupapi.dll,InstallHinfSection DefaultInstall 128 "$(windows_path "$inf")" || true
check "the INF's DefaultInstall copies the DLL into the system folder" \
  cmp -s "$prefix/drive_c/windows/system32/Tervagon.DLL" "$dist/Tervagon.DLL"
check "the INF's DefaultInstall registers what regsvr32 registers" \
  same "$(cat "$work/reference-win32.tree")" "$(tree "$prefix" 32)"
run "$prefix" rundll32 setupapi.dll,InstallHinfSection DefaultUninstall 128 "$(windows_path "$inf")" || true
only_absent() { ! grep -v '(absent)|$' <<<"$1" >&2; }
check "the INF's DefaultUninstall removes the registration" only_absent "$(tree "$prefix" 32)"
run "$prefix" rundll32 setupapi.dll,InstallHinfSection Tervagon.RemoveFile 128 "$(windows_path "$inf")" || true
check "the INF's Tervagon.RemoveFile then deletes the file" test ! -e "$prefix/drive_c/windows/system32/Tervagon.DLL"
tools/wine-prefix.sh stop "$prefix"

# --- The packages --------------------------------------------------------------------------
# Everything of the prefix that an install could touch: the registry and the files.
snapshot() {
  local prefix=$1 out=$2
  local root
  : >"$out.reg"
  # The machine's and the user's software settings, both views; the rest of the registry,
  # and Wine's own settings of the session, are the running system's state (devices,
  # service counters, the desktop's parameters).
  for root in 'HKEY_LOCAL_MACHINE\Software' 'HKEY_CURRENT_USER\Software'; do
    run "$prefix" regedit /E 'C:\snapshot.reg' "$root" >/dev/null 2>&1
    iconv -f UTF-16LE -t UTF-8 "$prefix/drive_c/snapshot.reg" | tr -d '\r' |
      awk '/^\[/ { wine = index($0, "[HKEY_CURRENT_USER\\Software\\Wine\\") == 1 } !wine' >>"$out.reg"
    rm -f "$prefix/drive_c/snapshot.reg"
  done
  (cd "$prefix/drive_c" && find . -path ./windows/temp -prune -o -path ./users -prune -o -print | LC_ALL=C sort) >"$out.files"
}
# What a removal changed, as lines of the snapshots; nothing at all, but for the Windows
# Installer's own containers that its first install makes and that it keeps, empty: its
# product, feature and upgrade-code keys and the folder of cached packages.
installer_containers='^(\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?(Classes\\Installer|Microsoft\\Windows\\CurrentVersion\\Installer\\(UpgradeCodes|UserData))(\\[^]]*)?\]|\./windows/Installer)$'
no_leftovers() {
  local changes
  changes=$(diff "$1" "$2" | grep '^[<>]' | grep -v '^[<>] *$' | grep -vE "^> ${installer_containers#^}" || true)
  [ -z "$changes" ] || { echo "$changes" | head -20 >&2; return 1; }
}
page_output() {  # page_output PREFIX PAGEHOST: the example page on the released library, from the allowed address
  local bits=64
  file -b "$2" | grep -q '^PE32 ' && bits=32
  run_as "$bits" "$1" "$2" --url "$allowed_url" "$dist/tervagon.js" "$root/build/win32/bin/support-page.js" 2>&1 | tr -d '\r'
}
# The page's answers for the DLL's own class at the release's version and for the package.
page_sees_release() {
  local output=$1
  grep -qxF "Tervagon ControlInstaller $CLSID" <<<"$output" &&
    grep -qxF "  isValidControl(id, \"$VERSION\") = \"true\"" <<<"$output" &&
    grep -qxF "  getPackageVersion() = \"$PACKAGE_HEX\"" <<<"$output" || { echo "$output" >&2; return 1; }
}
installed_products() {  # the ProductCodes the prefix has installed of one UpgradeCode, as the uninstall keys show
  run "$1" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' "/reg:$2" 2>/dev/null |
    tr -d '\r' | grep -oE '\{[0-9A-F-]{36}\}$' | while read -r code; do
      [ "$code" = "{$3}" ] || [ "$code" = "{$4}" ] && echo "$code"
    done | xargs
}
# After an install one of the products must be there. Right after a removal, Wine's
# installer service was once seen to list none for a moment: the list is read again,
# a few times a second apart, before the check judges it.
installed_after_install() {
  local found tries=0
  found=$(installed_products "$@")
  while [ -z "$found" ] && [ $tries -lt 3 ]; do
    sleep 1
    tries=$((tries + 1))
    found=$(installed_products "$@")
  done
  [ $tries -eq 0 ] || echo "note: the installed products were read $((tries + 1)) times" >&2
  echo "$found"
}

# --- The native messaging hosts a package installs ------------------------------------------
browser_keys=('HKLM\SOFTWARE\Google\Chrome\NativeMessagingHosts' 'HKLM\SOFTWARE\Microsoft\Edge\NativeMessagingHosts'
              'HKLM\SOFTWARE\Mozilla\NativeMessagingHosts')
# The default value of KEY in a view, or nothing.
default_value() {
  run_as "$2" "$1" reg query "$3" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *([^)]*) *REG_SZ *//p'
}
# A framed message, as a browser writes it (ASCII text, shorter than 64 KiB).
frame() {
  local length=${#1}
  printf "\\x$(printf %02x $((length & 255)))\\x$(printf %02x $((length >> 8)))\\x00\\x00%s" "$1"
}
# What the installed host answers one request with, the frame's length taken off;
# then its exit status on a line of its own.
host_reply() {
  local prefix=$1 view=$2 program=$3; shift 3
  local status=0 reply
  reply=$(frame "{\"id\":1,\"page\":\"$allowed_url\",\"method\":\"getPackageVersion\",\"args\":[]}" |
          run_as "$view" "$prefix" "$program" "$@" 2>/dev/null | tail -c +5) || status=$?
  printf '%s\nstatus %s\n' "$reply" "$status"
}
# bridge_installed NAME PREFIX HOST VIEW FOLDER STAGE_ARCH: the host's program and
# manifests beside the DLL, the browsers' keys naming the manifests in the host's
# view, and the installed program answering our extension and add-on, and no other.
bridge_installed() {
  local name=$1 prefix=$2 host=$3 view=$4 folder=$5 arch=$6 key value
  local dir="$prefix/drive_c/$folder/Talmoren/Tervagon" windows_dir="C:\\$folder\\Talmoren\\Tervagon"
  check "$name: $host's program is the release's signed TervagonBridge.exe" \
    cmp -s "$dir/TervagonBridge.exe" "build/release/stage/$arch/TervagonBridge.exe"
  check "$name: $host's manifest for Chrome and Edge names the program and our extension's origin" \
    bash -c 'grep -qF "\"name\": \"$2\"" "$1" && grep -qF "\"path\": \"TervagonBridge.exe\"" "$1" &&
             grep -qF "\"allowed_origins\": [\"chrome-extension://$3/\"]" "$1"' _ "$dir/$host.chromium.json" "$host" "$EXTENSION_ID"
  check "$name: $host's manifest for Firefox names the program and our add-on" \
    bash -c 'grep -qF "\"name\": \"$2\"" "$1" && grep -qF "\"path\": \"TervagonBridge.exe\"" "$1" &&
             grep -qF "\"allowed_extensions\": [\"$3\"]" "$1"' _ "$dir/$host.firefox.json" "$host" "$ADDON_ID"
  for key in "${browser_keys[@]}"; do
    local manifest=$host.chromium.json
    [[ $key == *Mozilla* ]] && manifest=$host.firefox.json
    value=$(default_value "$prefix" "$view" "$key\\$host")
    check "$name: $key\\$host in the $view-bit view names $manifest" same "$windows_dir\\$manifest" "$value"
  done
  check "$name: the installed $host answers our extension" \
    same "$(printf '{"id":1,"answer":"%s"}\nstatus 0' "$PACKAGE_HEX")" \
    "$(host_reply "$prefix" "$view" "$windows_dir\\TervagonBridge.exe" "chrome-extension://$EXTENSION_ID/")"
  check "$name: the installed $host answers our add-on" \
    same "$(printf '{"id":1,"answer":"%s"}\nstatus 0' "$PACKAGE_HEX")" \
    "$(host_reply "$prefix" "$view" "$windows_dir\\TervagonBridge.exe" "$windows_dir\\$host.firefox.json" "$ADDON_ID")"
  check "$name: the installed $host answers no other extension" \
    same "$(printf '\nstatus 2')" \
    "$(host_reply "$prefix" "$view" "$windows_dir\\TervagonBridge.exe" "chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/")"
}
# After a removal: neither the program's folder nor any browser key of the host.
bridge_removed() {
  local name=$1 prefix=$2 host=$3 view=$4 folder=$5 key left=""
  for key in "${browser_keys[@]}"; do
    [ -z "$(default_value "$prefix" "$view" "$key\\$host")" ] || left="$left $key\\$host"
  done
  check "$name: removal takes $host's browser keys away" same "" "${left# }"
  check "$name: removal takes $host's program and manifests away" \
    test ! -e "$prefix/drive_c/$folder/Talmoren/Tervagon/TervagonBridge.exe"
}

# package NAME ARCH MSI PLATFORM VIEWS PRODUCT_CODE UPGRADE_CODE
package_test() {
  local name=$1 arch=$2 msi=$3 platform=$4 views=$5 product=$6 prefix before view host output
  local uview=${views##* }  # msiexec of the prefix's own bitness records the products
  local old_product old_msi=$work/old-$name.msi
  old_product=$(cat /proc/sys/kernel/random/uuid | tr a-f A-F)
  prefix=$(fresh "$name" "$arch")
  snapshot "$prefix" "$work/$name-before"
  run "$prefix" msiexec /i "$(windows_path "$msi")" /qn
  check "$name: installs silently" same "{$product}" "$(installed_after_install "$prefix" "$uview" "$product" "$old_product")"
  for view in $views; do
    local reference=win32
    [ "$arch" = win64 ] && reference=wow64
    [ "$view" = 64 ] && reference=win64
    check "$name: the $view-bit view holds what that build's regsvr32 writes" \
      same "$(cat "$work/reference-$reference.tree")" "$(tree "$prefix" "$view")"
    check "$name: the $view-bit view holds the package value $PACKAGE_HEX" \
      same "REG_DWORD $(printf '0x%x' "$PACKAGE_VALUE")" "$(package_value "$prefix" "$view")"
  done
  local bridge
  for bridge in "${bridges[@]}"; do
    IFS='|' read -r -a fields <<<"$bridge"
    bridge_installed "$name" "$prefix" "${fields[@]}"
  done
  [ -n "$pagehosts" ] || echo "skip $name: the example page (no page host for this prefix is built)"
  for host in $pagehosts; do
    output=$(page_output "$prefix" "$host") || true
    check "$name: the example page in $host gets true for $VERSION and $PACKAGE_HEX" \
      page_sees_release "$output"
  done
  run "$prefix" msiexec /x "$(windows_path "$msi")" /qn
  snapshot "$prefix" "$work/$name-removed"
  check "$name: removal leaves no key or value behind" no_leftovers "$work/$name-before.reg" "$work/$name-removed.reg"
  check "$name: removal leaves no file or folder behind" no_leftovers "$work/$name-before.files" "$work/$name-removed.files"
  for bridge in "${bridges[@]}"; do
    IFS='|' read -r -a fields <<<"$bridge"
    bridge_removed "$name" "$prefix" "${fields[@]:0:3}"
  done
  check "$name: removal keeps the shared CLSID, AppID, Interface and TypeLib keys" \
    bash -c 'for key in CLSID AppID Interface TypeLib; do grep -qixF "[HKEY_LOCAL_MACHINE\\Software\\Classes\\$key]" "$1" || exit 1; done' \
    _ "$work/$name-removed.reg"

  # An older package of the same product, with the same files, replaced in place.
  tools/release/msi.sh build/release/stage "$platform" "$old_msi" 0.0.1 "$old_product" 1 >/dev/null 2>&1
  run "$prefix" msiexec /i "$(windows_path "$old_msi")" /qn
  check "$name: an older package (0.0.1) installs" \
    same "{$old_product}" "$(installed_after_install "$prefix" "$uview" "$product" "$old_product")"
  run "$prefix" msiexec /i "$(windows_path "$msi")" /qn
  check "$name: the release's package replaces it in place" \
    same "{$product}" "$(installed_after_install "$prefix" "$uview" "$product" "$old_product")"
  for view in $views; do
    check "$name: after the upgrade the $view-bit view holds the package value $PACKAGE_HEX" \
      same "REG_DWORD $(printf '0x%x' "$PACKAGE_VALUE")" "$(package_value "$prefix" "$view")"
  done
  for host in ${pagehosts%% *}; do
    output=$(page_output "$prefix" "$host") || true
    check "$name: after the upgrade the example page gets true for $VERSION and $PACKAGE_HEX" page_sees_release "$output"
  done
  run "$prefix" msiexec /x "$(windows_path "$msi")" /qn
  snapshot "$prefix" "$work/$name-upgraded-removed"
  check "$name: removal after the upgrade leaves no key or value of either version" \
    no_leftovers "$work/$name-before.reg" "$work/$name-upgraded-removed.reg"
  check "$name: removal after the upgrade leaves no file or folder of either version" \
    no_leftovers "$work/$name-before.files" "$work/$name-upgraded-removed.files"
  tools/wine-prefix.sh stop "$prefix"
}

# The 32-bit page host comes with the PE32 test build, the 64-bit one with the x86-64
# build; a missing one is a failed check, not a page run left out.
check "both page hosts are built" test -f "$pagehost32" -a -f "$pagehost64"
pagehosts="$pagehost32 $pagehost64"
# Each package's native messaging hosts: HOST|VIEW|FOLDER|STAGE_ARCH.
bridges=("$BRIDGE_NAME_PE32|32|Program Files (x86)|x86" "$BRIDGE_NAME_X64|64|Program Files|x64")
package_test x64 win64 "$dist/Tervagon-x64.msi" x64 "32 64" "$PRODUCT_CODE_X64"
# A 32-bit prefix runs only the 32-bit page host.
pagehosts=$pagehost32
bridges=("$BRIDGE_NAME_PE32|32|Program Files|x86")
package_test x86 win32 "$dist/Tervagon-x86.msi" x86 "32" "$PRODUCT_CODE_X86"

echo "release: $passed passed, $failed failed"
[ "$failed" = 0 ] || exit 1
# A passed run's prefixes have nothing left to show; a failed run's stay to be looked into.
cleanup
rm -rf "$work"/prefix-*
