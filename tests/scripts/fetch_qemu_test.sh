#!/usr/bin/env bash
# tools/fetch-qemu.sh: the backports line it takes from apt sources of either format, and
# its fetch against a stand-in apt-get and apt-cache on PATH: a package with a new enough
# qemu-i386 is kept, an old one or an unreachable suite fails with one line that the
# decision (tools/runs-32bit.sh) can repeat.
#   fetch_qemu_test.sh PATH/TO/fetch-qemu.sh
set -uo pipefail
fetch=${1:?fetch-qemu.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
release=${release:-bookworm}
failed=0
fail() { echo "FAIL $*" >&2; failed=1; }

# --- The line, from the machine's sources ---------------------------------------------
# sources NAME FILE CONTENT...: an /etc/apt of stand-in files
sources() {
  local dir=$work/etc-$1; shift
  mkdir -p "$dir/sources.list.d"
  while [ $# -gt 0 ]; do printf '%b' "$2" >"$dir/$1"; shift 2; done
}
sources deb822 sources.list.d/debian.sources \
  "Types: deb\nURIs: http://deb.debian.org/debian\nSuites: $release $release-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb\nURIs: http://deb.debian.org/debian-security\nSuites: $release-security\nComponents: main\n"
sources deb822-skips sources.list.d/a.sources \
  "Types: deb\nURIs: http://security.example/debian-security\nSuites: $release-security\n\nTypes: deb-src\nURIs: http://src.example/debian\nSuites: $release\n\nEnabled: no\nTypes: deb\nURIs: http://off.example/debian\nSuites: $release\n\n# a comment\nTypes: deb\nURIs: http://one.example/debian/ http://two.example/debian\nSuites: $release\nSigned-By:\n -----BEGIN PGP PUBLIC KEY BLOCK-----\n .\n -----END PGP PUBLIC KEY BLOCK-----\n"
sources one-line sources.list \
  "# deb http://commented.example/debian $release main\ndeb-src http://src.example/debian $release main\ndeb [arch=amd64 signed-by=/etc/apt/keyrings/mirror.gpg] http://mirror.example/debian/ $release main contrib\n"
sources plain-and-parts sources.list "deb http://old.example/debian $release-security main\n" \
  sources.list.d/mirror.list "  deb   http://plain.example/debian   $release main\n"
sources none sources.list "deb http://other.example/debian sid main\n"

# name | status | expected line
line_cases=(
  "deb822|0|deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $release-backports main"
  "deb822-skips|0|deb http://one.example/debian $release-backports main"
  "one-line|0|deb [signed-by=/etc/apt/keyrings/mirror.gpg] http://mirror.example/debian $release-backports main"
  "plain-and-parts|0|deb http://plain.example/debian $release-backports main"
  "none|1|"
)
for entry in "${line_cases[@]}"; do
  IFS='|' read -r name want_status want <<<"$entry"
  line=$(TERVAGON_APT_ETC=$work/etc-$name bash "$fetch" --print-source 2>/dev/null)
  status=$?
  [ "$status" = "$want_status" ] || fail "sources $name: status $status, expected $want_status"
  [ "$line" = "$want" ] || fail "sources $name: '$line', expected '$want'"
done

# --- The fetch, against a stand-in apt ----------------------------------------------------
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
# Only the private lists may be used: every call names its own sources list.
case " $* " in *" Dir::Etc::SourceList=$STANDIN_WORK/"*) ;; *) echo "E: not the private list: $*"; exit 100 ;; esac
while [ "${1#-}" != "$1" ]; do shift 2; done
case "$1" in
update)
  [ "$STANDIN_MIRROR" = unreachable ] || exit 0
  echo "W: Failed to fetch http://deb.example/debian/dists/bookworm-backports/InRelease  Temporary failure resolving 'deb.example'"
  exit 0 ;;
download)
  cp "$STANDIN_DEB" "./qemu-user_1%3a10.0.2+ds-2~bpo12+1_amd64.deb" ;;
esac
EOF
cat >"$work/bin/apt-cache" <<'EOF'
#!/usr/bin/env bash
[ "$STANDIN_MIRROR" = unreachable ] && { echo "N: Unable to locate package ${!#}"; exit 0; }
printf '%s:\n  Installed: (none)\n  Candidate: 1:10.0.2+ds-2~bpo12+1\n' "${!#}"
EOF
chmod +x "$work/bin/apt-get" "$work/bin/apt-cache"
# package VERSION: a qemu-user package whose qemu-i386 reports that version
package() {
  local root=$work/package-$1
  mkdir -p "$root/DEBIAN" "$root/usr/bin"
  printf 'Package: qemu-user\nVersion: %s\nArchitecture: amd64\nMaintainer: stand-in <stand-in@example>\nDescription: stand-in\n' "$1" >"$root/DEBIAN/control"
  printf '#!/bin/sh\necho "qemu-i386 version %s (stand-in)"\n' "$1" >"$root/usr/bin/qemu-i386"
  chmod 755 "$root/usr/bin/qemu-i386"
  dpkg-deb -b -Zgzip "$root" "$work/qemu-user-$1.deb" >/dev/null
  echo "$work/qemu-user-$1.deb"
}
new=$(package 10.0.2) old=$(package 7.2.15)

# name | mirror | package | status | version kept, or the failure's pattern (grep -E)
fetch_cases=(
  "a new qemu is kept|reachable|$new|0|10.0.2"
  "an old qemu is refused|reachable|$old|1|the qemu-i386 of $release-backports is 7\\.2\\.15; the emulated road needs 8\\.1 or newer"
  "an unreachable suite|unreachable|$new|1|$release-backports has no qemu-user for [a-z0-9]+ \\(apt-get update failed for: http://deb\\.example/.* \\(Temporary failure resolving 'deb\\.example'\\)\\)"
)
for entry in "${fetch_cases[@]}"; do
  IFS='|' read -r name mirror deb want_status want <<<"$entry"
  qemu=$work/qemu-${name// /-}
  output=$(PATH="$work/bin:$PATH" STANDIN_WORK=$qemu STANDIN_MIRROR=$mirror STANDIN_DEB=$deb TERVAGON_QEMU_DIR=$qemu \
           TERVAGON_APT_ETC=$work/etc-deb822 TERVAGON_APT_PAUSES=0 bash "$fetch" 2>&1)
  status=$?
  [ "$status" = "$want_status" ] || fail "$name: status $status, expected $want_status: $output"
  if [ "$want_status" = 0 ]; then
    [ "$("$qemu/qemu-i386" --version 2>/dev/null)" = "qemu-i386 version $want (stand-in)" ] || fail "$name: no qemu-i386 $want kept"
    [ ! -e "$qemu/fetch-failed" ] || fail "$name: a failure is kept"
  else
    [ ! -e "$qemu/qemu-i386" ] || fail "$name: a qemu-i386 is kept"
    [ "$(wc -l <"$qemu/fetch-failed" 2>/dev/null)" = 1 ] && grep -Eq "^$want$" "$qemu/fetch-failed" ||
      fail "$name: the kept failure '$(cat "$qemu/fetch-failed" 2>/dev/null)' does not match /$want/"
    grep -Eq "^fetch-qemu: $want$" <<<"$output" || fail "$name: no line says why: $output"
  fi
  [ -z "$(find "$qemu" -mindepth 1 -maxdepth 1 -name 'fetch.*')" ] || fail "$name: the private apt folder is left behind"
done

[ "$failed" = 0 ] && echo "fetch-qemu.sh: $((${#line_cases[@]} + ${#fetch_cases[@]})) cases passed"
exit $failed
