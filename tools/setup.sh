#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the release need on a Debian 12 machine;
# quick when all is there. Where the kernel runs no 32-bit code, it also fetches the
# emulator that then runs 32-bit Wine (tools/fetch-qemu.sh), without touching the
# machine's apt set-up. Tervagon.DLL is PE32 (i686): its tests run under 32-bit Wine
# (wine32:i386, which needs the i386 architecture) in 32-bit and 64-bit (WoW64) prefixes.
set -euo pipefail
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
# shellcheck source=apt.sh
. "$(dirname "$0")/apt.sh"
export DEBIAN_FRONTEND=noninteractive

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
packages=(cmake ninja-build clang libclang-rt-14-dev g++ libgtest-dev googletest
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-tools wine wine64 wine32:i386 libwine-dev
          msitools wixl gcab osslsigncode openssl cabextract ca-certificates file locales
          nlohmann-json3-dev)
# The browser tests: Debian's Chromium and Firefox ESR, headless, driven over their own remote protocols.
packages+=(chromium firefox-esr nodejs)
need=()
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}" >&2
  # wine32 is an i386 package: without the architecture it has no candidate.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  apt_update
  # Recommends stay out, so every package the build needs is named above (the sanitizer
  # runtime is only a Recommends of clang).
  apt_install -- "${need[@]}"
fi

# Wine takes a process's ANSI code page from its Unix locale, and only from one that is
# generated (else it falls back to C, code page 1252): the page-address tests run at 1252,
# 932 and UTF-8 under these.
test_locales=(en_US ja_JP hi_IN)
missing=()
for l in "${test_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$l.utf-\?8" || missing+=("$l")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: generating the locales ${missing[*]/%/.UTF-8}" >&2
  for l in "${missing[@]}"; do
    if grep -q "^# *$l.UTF-8 UTF-8" /etc/locale.gen; then
      $SUDO sed -i "s/^# *\($l.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    elif ! grep -q "^$l.UTF-8 UTF-8" /etc/locale.gen; then
      echo "$l.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
  done
  $SUDO locale-gen >/dev/null
fi

# Where the kernel runs no 32-bit code, the PE32 build's tests run under emulation, which
# needs qemu-i386 from Debian's backports: tools/runs-32bit.sh exits with 2 when only that
# is missing. A failed fetch is said in one line, and the decision repeats it.
road_status=0
"$(dirname "$0")/runs-32bit.sh" >/dev/null || road_status=$?
if [ "$road_status" = 2 ]; then
  "$(dirname "$0")/fetch-qemu.sh" || true
fi
