#!/usr/bin/env bash
# Builds a release from the sources and writes it to dist/ (or --out DIR):
#   Tervagon.DLL      the PE32 DLL, Authenticode-signed
#   Tervagon.cab      signed; the DLL and Tervagon.inf, for the browser's code download
#   Tervagon-x64.msi  for 64-bit Windows: the PE32 DLL (32-bit view) and the x86-64 DLL (64-bit view),
#                     each with the native messaging host of its bitness for Chrome, Edge and Firefox
#   Tervagon-x86.msi  for 32-bit Windows: the PE32 DLL and its native messaging host
#   Tervagon-extension-chromium.zip  the browser extension for the Chrome Web Store and Edge Add-ons
#   Tervagon-extension-firefox.zip   the browser extension for Firefox Add-ons
#   SHA256SUMS        of the four and the two extension packages
#   support-page.html the example page, with the object tag naming the CAB at this version
#   tervagon.js       the page library, beside the page on the support site
#   symbols/x86, x64  the symbols of each shipped binary (NAME.debug), for crash analysis:
#                     the binaries themselves carry none; not for the support site
# Prints each file's size, the DLL's and the CAB's against their budgets
# (tools/release/budgets.sh), and stops when one is over.
# Sets up what is missing first. Builds afresh under build/release (ccache makes it quick
# where it is set up). Signing: tools/release/sign.sh says which certificate is used.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=dist
fresh=1
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=${2:?--out DIR}; shift 2 ;;
    # The presets' own build folders, built where needed, instead of fresh ones: for the
    # tests, which have just built them.
    --from-presets) fresh=0; shift ;;
    *) echo "usage: $0 [--out DIR] [--from-presets]" >&2; exit 2 ;;
  esac
done
work=build/release
stage=$work/stage
step() { printf '== %s\n' "$*"; }

tools/setup.sh
if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
  echo "release: NOTE: the work tree has changes that are not committed; they are in this build"
fi
echo "release: from commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"

if [ "$fresh" = 1 ]; then
  step "Building afresh in $work (PE32, x86-64, and the native registry-script runner)"
  rm -rf "$work"
  win32=$work/win32 win64=$work/win64 host=$work/host
  cmake --preset win32 -B "$win32" -DTERVAGON_BUILD_TESTS=OFF >/dev/null
  cmake --preset win64 -B "$win64" -DTERVAGON_BUILD_TESTS=OFF >/dev/null
  cmake --preset host -B "$host" -DTERVAGON_FUZZ=OFF -DTERVAGON_SANITIZE=OFF >/dev/null
else
  step "Building in the presets' folders"
  rm -rf "$stage"
  win32=build/win32 win64=build/win64 host=build/host
  for preset in win32 win64 host; do cmake --preset "$preset" >/dev/null; done
fi
cmake --build "$win32" -j 2 --target Tervagon TervagonBridge >/dev/null
cmake --build "$win64" -j 2 --target Tervagon TervagonBridge >/dev/null
cmake --build "$host" -j 2 --target scriptrun >/dev/null
# shellcheck disable=SC1091
. "$win32/release/release.env"
echo "version $VERSION (package value $PACKAGE_HEX, installer ProductVersion $MSI_VERSION)"

# The binaries the release ships, "ARCH PATH" each. The build leaves them without symbols,
# a symbols file PATH.debug beside each (cmake/shipped_binaries.cmake); those go to
# symbols/ARCH, and each binary is checked against its own.
shipped_binaries=(
  "x86 $win32/bin/Tervagon.DLL"
  "x64 $win64/bin/Tervagon.DLL"
  "x86 $win32/bin/TervagonBridge.exe"
  "x64 $win64/bin/TervagonBridge.exe"
)
step "Symbols"
for entry in "${shipped_binaries[@]}"; do
  read -r arch binary <<<"$entry"
  mkdir -p "$stage/symbols/$arch"
  cp "$binary.debug" "$stage/symbols/$arch/"
  echo "$binary: $(tools/release/symbols.sh check "$binary" "$stage/symbols")"
done

step "Signing"
mkdir -p "$stage/x86" "$stage/x64" "$stage/cab"
tools/release/sign.sh setup "$work/signing"
cp "$win32/bin/Tervagon.DLL" "$stage/x86/unsigned.DLL"
cp "$win64/bin/Tervagon.DLL" "$stage/x64/unsigned.DLL"
for arch in x86 x64; do
  tools/release/sign.sh sign "$work/signing" "$stage/$arch/unsigned.DLL" "$stage/$arch/Tervagon.DLL"
  rm "$stage/$arch/unsigned.DLL"
done
# The native messaging host of each build and its manifests, for the packages.
for pair in "x86 $win32" "x64 $win64"; do
  read -r arch build <<<"$pair"
  cp "$build/bin/TervagonBridge.exe" "$stage/$arch/unsigned.exe"
  tools/release/sign.sh sign "$work/signing" "$stage/$arch/unsigned.exe" "$stage/$arch/TervagonBridge.exe"
  rm "$stage/$arch/unsigned.exe"
  cp "$build"/bin/com.talmoren.tervagon*.json "$stage/$arch/"
done

step "Registry rows: what each build's DllRegisterServer writes"
# The two registry scripts run through the registrar itself, over its in-memory registry,
# with the DLL's path as a placeholder, passed in as registration passes a path; then
# what the platform writes for the categories, the type library and the proxy/stub.
scriptrun=$host/bin/scriptrun
tree() {
  local build=$1 tree=$2
  "$scriptrun" register "$SCRIPT102" --var "APPID=$APPID" --module @MODULE@ \
    --dump "$tree.102" >/dev/null
  "$scriptrun" register "$SCRIPT101" --var "APPID=$APPID" --module @MODULE@ \
    --seed "$tree.102" --dump "$tree" >/dev/null
  rm "$tree.102"
  cat "$build/release/platform-registration.reg" >>"$tree"
}
tree "$win32" "$stage/tree-x86.reg"
tree "$win64" "$stage/tree-x64.reg"
tools/release/registry-rows.sh "$stage/tree-x86.reg" Tervagon32 InstallFolder32 >"$stage/rows-x86.wxi"
tools/release/registry-rows.sh "$stage/tree-x64.reg" Tervagon64 InstallFolder64 >"$stage/rows-x64.wxi"
# Where the browsers find each build's native messaging host.
tools/release/registry-rows.sh "$win32/release/bridge-registration.reg" Bridge32 InstallFolder32 >"$stage/bridge-rows-x86.wxi"
tools/release/registry-rows.sh "$win64/release/bridge-registration.reg" Bridge64 InstallFolder64 >"$stage/bridge-rows-x64.wxi"
echo "$(grep -c '<RegistryValue' "$stage/rows-x86.wxi") rows per build"

step "Cabinet"
cp "$stage/x86/Tervagon.DLL" "$win32/release/Tervagon.inf" "$stage/cab/"
(cd "$stage/cab" && gcab -c -z -n unsigned.cab Tervagon.DLL Tervagon.inf)
tools/release/sign.sh sign "$work/signing" "$stage/cab/unsigned.cab" "$stage/Tervagon.cab"

step "Installer packages"
cp "$win32/release/Tervagon-x86.wxs" "$win32/release/Tervagon-x64.wxs" "$stage/"
tools/release/msi.sh "$stage" x86 "$stage/Tervagon-x86.msi" "$MSI_VERSION" "$PRODUCT_CODE_X86" "$PACKAGE_VALUE"
tools/release/msi.sh "$stage" x64 "$stage/Tervagon-x64.msi" "$MSI_VERSION" "$PRODUCT_CODE_X64" "$PACKAGE_VALUE"

step "Checking the signatures"
for file in "$stage/x86/Tervagon.DLL" "$stage/Tervagon.cab"; do
  tools/release/sign.sh verify "$work/signing" "$file" >/dev/null || {
    echo "release: the signature of $file does not verify" >&2; exit 1; }
done

step "Browser extension packages"
# The build assembles each family's folder (the Chromium one for the stores has no key);
# the stores take a zip of its files.
for family in chromium firefox; do
  folder=$win32/bin/extension/$family
  [ "$family" = chromium ] && folder=$win32/bin/extension/chromium-store
  (cd "$folder" && cmake -E tar cf "$root/$stage/Tervagon-extension-$family.zip" --format=zip \
     content.js manifest.json worker.js)
done

step "Sizes"
# shellcheck source=tools/release/budgets.sh
. tools/release/budgets.sh
within=1
size_line "Tervagon.DLL (PE32)" "$stage/x86/Tervagon.DLL" "$TERVAGON_BUDGET_DLL" || within=0
size_line "Tervagon.cab" "$stage/Tervagon.cab" "$TERVAGON_BUDGET_CAB" || within=0
size_line "Tervagon.DLL (x86-64)" "$stage/x64/Tervagon.DLL"
size_line "Tervagon-x64.msi" "$stage/Tervagon-x64.msi"
size_line "Tervagon-x86.msi" "$stage/Tervagon-x86.msi"
size_line "TervagonBridge.exe (PE32)" "$stage/x86/TervagonBridge.exe"
size_line "TervagonBridge.exe (x86-64)" "$stage/x64/TervagonBridge.exe"
size_line "Tervagon-extension-chromium.zip" "$stage/Tervagon-extension-chromium.zip"
size_line "Tervagon-extension-firefox.zip" "$stage/Tervagon-extension-firefox.zip"
[ "$within" = 1 ] || { echo "release: over its download budget (tools/release/budgets.sh); nothing written" >&2; exit 1; }

step "Writing $out"
rm -rf "$out"
mkdir -p "$out"
cp "$stage/x86/Tervagon.DLL" "$stage/Tervagon.cab" "$stage/Tervagon-x64.msi" "$stage/Tervagon-x86.msi" "$out/"
cp "$stage/Tervagon-extension-chromium.zip" "$stage/Tervagon-extension-firefox.zip" "$out/"
cp -r "$stage/symbols" "$out/"
# The example page and the page library, for the support site beside the CAB.
cp "$win32/bin/support-page.html" "$win32/bin/tervagon.js" "$out/"
(cd "$out" && sha256sum Tervagon.DLL Tervagon.cab Tervagon-x64.msi Tervagon-x86.msi \
   Tervagon-extension-chromium.zip Tervagon-extension-firefox.zip >SHA256SUMS)
cat "$out/SHA256SUMS"
echo "release $VERSION written to $(realpath "$out")"
