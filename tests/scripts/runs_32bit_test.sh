#!/usr/bin/env bash
# tools/runs-32bit.sh decides how the PE32 build's 32-bit code runs: each case gives it a
# machine made of stand-ins (the 32-bit loader, unshare and mount on PATH, the emulator's
# folder) and checks its exit status and its one line.
#   runs_32bit_test.sh PATH/TO/runs-32bit.sh
set -uo pipefail
check=${1:?runs-32bit.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

standin() {  # standin PATH BODY: an executable shell script
  mkdir -p "$(dirname "$1")"
  printf '#!/bin/sh\n%s\n' "$2" >"$1"
  chmod +x "$1"
}
# Loaders: a program of the wrong format for this kernel, as a 32-bit ELF is where ia32
# is off; one that runs; one that fails without a word.
printf '\x7fELF\x01\x01\x01\x00garbage' >"$work/refused"
chmod +x "$work/refused"
standin "$work/runs" 'echo wine-8.0'
standin "$work/fails-silently" 'exit 3'
# Namespaces: unshare that enters (options dropped) or is refused; mount that works or not.
standin "$work/userns/unshare" 'while [ "${1#-}" != "$1" ]; do shift; done; exec "$@"'
standin "$work/userns/mount" 'exit 0'
standin "$work/no-userns/unshare" 'echo "unshare: unshare failed: Operation not permitted" >&2; exit 1'
standin "$work/no-binfmt/unshare" 'while [ "${1#-}" != "$1" ]; do shift; done; exec "$@"'
standin "$work/no-binfmt/mount" 'echo "mount: /proc/sys/fs/binfmt_misc: permission denied." >&2; exit 32'
# Emulator folders: a good qemu, an old one, none, none after a failed fetch.
standin "$work/qemu-new/qemu-i386" 'echo "qemu-i386 version 10.0.2 (Debian 1:10.0.2+ds-2+deb13u1~bpo12+1)"'
standin "$work/qemu-old/qemu-i386" 'echo "qemu-i386 version 7.2.15 (Debian 1:7.2+dfsg-7+deb12u18)"'
mkdir -p "$work/qemu-none" "$work/qemu-unreachable"
echo "bookworm-backports has no qemu-user for amd64 (apt-get update failed for: http://deb.example/debian/dists/bookworm-backports/InRelease (Could not resolve 'deb.example'))" \
  >"$work/qemu-unreachable/fetch-failed"

# loader | namespaces | qemu folder | TERVAGON_32BIT | TERVAGON_32BIT_ROAD | status | pattern (grep -E) of the one line
refusal='this kernel runs no 32-bit x86 programs \(.*refused: .*(format|binary).*\)'
cases=(
  "runs|userns|qemu-none|||0|^native$"
  "refused|userns|qemu-new|||0|^emulated$"
  "runs|userns|qemu-new|emulated||0|^emulated$"
  "refused|userns|qemu-new|native||1|^TERVAGON_32BIT=native, but $refusal$"
  "runs|userns|qemu-new|fast||1|^TERVAGON_32BIT is 'fast': it must be native, emulated or unset$"
  "fails-silently|userns|qemu-new|||0|^emulated$"
  "absent|userns|qemu-new|||1|^32-bit Wine is not installed \(.*absent missing: the wine32:i386 package\)$"
  "refused|no-userns|qemu-new|||1|^$refusal, and no user namespace can be made to emulate them in \(unshare: unshare failed: Operation not permitted\)$"
  "refused|no-binfmt|qemu-new|||1|^$refusal, and no private binfmt_misc instance can be mounted to emulate them in \(Linux 6.7 or later: mount: .*permission denied.\)$"
  "refused|userns|qemu-none|||2|^$refusal, and qemu-i386 is missing to emulate them \(.*qemu-none/qemu-i386; QEMU 8.1 or newer from Debian's backports; tools/setup.sh fetches it\)$"
  "refused|userns|qemu-unreachable|||2|^$refusal, and qemu-i386 is missing .*the last fetch failed: bookworm-backports has no qemu-user .*Could not resolve.*\)$"
  "refused|userns|qemu-old|||2|^$refusal, and .*qemu-old/qemu-i386 is QEMU 7.2.15; emulating Wine needs 8.1 or newer$"
  "refused|no-userns|qemu-none||emulated|0|^emulated$"
)
failed=0
for entry in "${cases[@]}"; do
  IFS='|' read -r loader namespaces qemu wanted road want_status pattern <<<"$entry"
  line=$(env PATH="$work/$namespaces:$PATH" TERVAGON_32BIT_LOADER="$work/$loader" TERVAGON_QEMU_DIR="$work/$qemu" \
             TERVAGON_32BIT="$wanted" TERVAGON_32BIT_ROAD="$road" bash "$check")
  status=$?
  name="$loader, $namespaces, $qemu${wanted:+, TERVAGON_32BIT=$wanted}${road:+, inside the $road road}"
  if [ "$status" != "$want_status" ]; then
    echo "FAIL $name: exit status $status, expected $want_status ('$line')" >&2; failed=1
  fi
  if [ "$(printf '%s\n' "$line" | wc -l)" != 1 ] || ! grep -Eq -- "$pattern" <<<"$line"; then
    echo "FAIL $name: '$line' does not match /$pattern/" >&2; failed=1
  fi
done
[ "$failed" = 0 ] && echo "runs-32bit.sh: ${#cases[@]} cases passed"
exit $failed
