#!/usr/bin/env bash
# Runs a command that runs the shipped PE32 build's 32-bit code, on the road
# tools/runs-32bit.sh chooses:
#   with-32bit.sh COMMAND [ARGS...]
# native:   the command runs as it is; nothing is emulated, nothing namespaced.
# emulated: the command runs in a new user, mount and PID namespace, where binfmt_misc is
#           mounted privately and sends i386 programs to qemu-i386. Nothing outside
#           changes; every process started inside (wineservers, qemu) ends with the
#           namespace, and the whole run is killed after TERVAGON_32BIT_SECONDS
#           (default 3600).
# Neither: one line saying why, and status 1.
# Inside, TERVAGON_32BIT_ROAD says which road it is (native or emulated).
set -uo pipefail
here=$(dirname "$(realpath "$0")")
[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
# Already on the road: nothing to enter.
if [ -n "${TERVAGON_32BIT_ROAD:-}" ]; then exec "$@"; fi
if ! road=$("$here/runs-32bit.sh"); then
  echo "with-32bit: the shipped PE32 build's code can't be run here: $road" >&2
  exit 1
fi
export TERVAGON_32BIT_ROAD=$road
if [ "$road" = native ]; then
  exec "$@"
fi

# shellcheck source=emulation-env.sh
. "$here/emulation-env.sh"
export TERVAGON_BINFMT_ENTRY TERVAGON_USER
TERVAGON_BINFMT_ENTRY=$(binfmt_entry "$qemu_binary")
TERVAGON_USER="$(id -u) $(id -g)"
# Wine keeps its server sockets in /tmp/.wine-UID; inside, a private folder is mounted
# there, so no server inside and none outside can meet, and nothing of them outlives
# the namespace. Wine makes the folder itself on a first run; so is it made here.
sockets=/tmp/.wine-$(id -u)
mkdir -p "$sockets" 2>/dev/null
if [ -L "$sockets" ] || [ ! -d "$sockets" ] || [ ! -O "$sockets" ]; then
  echo "with-32bit: $sockets is not a folder of this user's own: Wine would refuse it too" >&2
  exit 1
fi
chmod 700 "$sockets"
# unshare --fork ignores SIGTERM, so the limit kills. --foreground keeps the namespace in
# the caller's process group, so that an interrupt at the terminal reaches it too.
# The namespace's first process stays a shell that waits for the command: as PID 1 it
# reaps whatever the command's processes leave behind, so a server's end can be seen.
# Mounting takes the namespace's root; the command then runs as the caller's own user
# again (a user namespace of its own within), so that the files it makes and Wine's
# checks of their owner are as outside.
limit=${TERVAGON_32BIT_SECONDS:-3600}
started=$SECONDS
timeout --foreground -s KILL "$limit" \
  unshare --user --map-root-user --mount --propagation private --pid --fork --kill-child --mount-proc \
  bash -c '
    fail() { echo "with-32bit: $*" >&2; exit 125; }
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || fail "cannot mount a private binfmt_misc"
    printf "%s" "$TERVAGON_BINFMT_ENTRY" >/proc/sys/fs/binfmt_misc/register ||
      fail "cannot register qemu-i386 in the private binfmt_misc"
    read -r uid gid <<<"$TERVAGON_USER"
    mount -t tmpfs -o mode=700,nosuid,nodev,size=64m tervagon-wine "/tmp/.wine-$uid" ||
      fail "cannot mount a private /tmp/.wine-$uid"
    unset TERVAGON_BINFMT_ENTRY TERVAGON_USER
    if [ "$uid" != 0 ]; then set -- unshare --user --map-user="$uid" --map-group="$gid" "$@"; fi
    "$@" <&0 &
    wait $!' with-32bit "$@"
status=$?
if [ "$status" = 137 ] && [ $((SECONDS - started)) -ge "$limit" ]; then
  echo "with-32bit: killed after the time limit of $limit s (TERVAGON_32BIT_SECONDS), with every process it started: $*" >&2
fi
exit "$status"
