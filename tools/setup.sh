#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine; quick when all is there.
# Tervagon.DLL is built as PE32 (i686); the tests run an x86-64 build of the same
# sources under 64-bit Wine, since these machines' kernels run no 32-bit x86 code.
set -euo pipefail
need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
packages=(cmake ninja-build clang g++ libgtest-dev googletest
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-tools wine wine64 libwine-dev)
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
