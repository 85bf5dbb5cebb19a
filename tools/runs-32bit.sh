#!/usr/bin/env bash
# Decides how this machine runs the shipped PE32 build's 32-bit code under Wine; every
# script that runs it asks here (tools/with-32bit.sh runs a command on the road chosen).
# Prints one line and exits with:
#   0  "native"    the kernel runs 32-bit Wine's loader (a 32-bit x86 program) itself
#   0  "emulated"  it doesn't (or TERVAGON_32BIT=emulated), and 32-bit Wine can run under
#                  qemu-i386 in a private binfmt_misc instance of a user namespace
#   1  REASON      neither: why, in one line
#   2  REASON      only the emulator is missing: tools/setup.sh fetches it on this status
# TERVAGON_32BIT=native|emulated forces a road (to try and time the emulated one where the
# kernel runs 32-bit code); "native" where the kernel refuses it fails with the reason.
# TERVAGON_32BIT_LOADER stands in for the loader, and commands on PATH for unshare and
# mount, in the script's own tests.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=emulation-env.sh
. "$here/emulation-env.sh"
loader=${TERVAGON_32BIT_LOADER:-/usr/lib/wine/wine}
wanted=${TERVAGON_32BIT:-}

impossible() { echo "$1" | head -n1; exit "${2:-1}"; }

# Inside tools/with-32bit.sh the road is chosen already (and under emulation the loader
# would seem to run natively).
case "${TERVAGON_32BIT_ROAD:-}" in
  native|emulated) echo "$TERVAGON_32BIT_ROAD"; exit 0 ;;
esac

case "$wanted" in
  ""|native|emulated) ;;
  *) impossible "TERVAGON_32BIT is '$wanted': it must be native, emulated or unset" ;;
esac
if [ ! -x "$loader" ]; then
  impossible "32-bit Wine is not installed ($loader missing: the wine32:i386 package)"
fi
if [ "$wanted" != emulated ]; then
  if refusal=$("$loader" --version 2>&1); then
    echo native
    exit 0
  fi
  refusal="$loader: $(head -n1 <<<"${refusal:-no output}")"
  if [ "$wanted" = native ]; then
    impossible "TERVAGON_32BIT=native, but this kernel runs no 32-bit x86 programs ($refusal)"
  fi
fi

# The emulated road: a user namespace, binfmt_misc mounted privately inside it, qemu-i386.
because=${refusal:+this kernel runs no 32-bit x86 programs ($refusal), and }
if ! output=$(unshare --user --map-root-user true 2>&1); then
  impossible "${because}no user namespace can be made to emulate them in ($(head -n1 <<<"${output:-no output}"))"
fi
if ! output=$(unshare --user --map-root-user --mount sh -c 'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' 2>&1); then
  impossible "${because}no private binfmt_misc instance can be mounted to emulate them in (Linux 6.7 or later: $(head -n1 <<<"${output:-no output}"))"
fi
if [ ! -x "$qemu_binary" ]; then
  why="tools/setup.sh fetches it"
  [ -s "$qemu_fetch_failure" ] && why="the last fetch failed: $(head -n1 "$qemu_fetch_failure")"
  impossible "${because}qemu-i386 is missing to emulate them ($qemu_binary; QEMU $qemu_minimum_version or newer from Debian's backports; $why)" 2
fi
version=$(qemu_version "$qemu_binary")
if ! version_at_least "$version" "$qemu_minimum_version"; then
  impossible "${because}$qemu_binary is QEMU ${version:-of an unknown version}; emulating Wine needs $qemu_minimum_version or newer" 2
fi
echo emulated
