#!/usr/bin/env bash
# Builds one installer package with wixl from a release's stage folder:
#   msi.sh STAGE x86|x64 OUT.msi PRODUCT_VERSION PRODUCT_CODE PACKAGE_VALUE
# STAGE holds Tervagon-x86.wxs / Tervagon-x64.wxs, their rows-*.wxi and bridge-rows-*.wxi, the signed
# DLLs and native messaging hosts with their manifests under x86/ and x64/ (wixl wants the names
# relative to where it runs).
# The version values are arguments so that the release test can make an older
# package of the same product to upgrade from.
set -euo pipefail
stage=${1:?stage} platform=${2:?x86|x64} out=$(realpath -m "${3:?out}")
product_version=${4:?product version} product_code=${5:?product code} package_value=${6:?package value}
case "$platform" in
  x86) arch=x86 ;;
  x64) arch=x64 ;;
  *) echo "msi.sh: platform x86 or x64, not $platform" >&2; exit 2 ;;
esac
cd "$stage"
# wixl reports its own faults as GLib warnings on stderr; a failed build is its exit status.
wixl -a "$arch" -D ProductVersion="$product_version" -D ProductCode="$product_code" \
     -D PackageValue="$package_value" -o "$out" "Tervagon-$platform.wxs"
