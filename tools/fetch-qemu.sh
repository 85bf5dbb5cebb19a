#!/usr/bin/env bash
# Fetches qemu-i386 (QEMU 8.1 or newer) for the emulated road, from Debian's backports
# suite on the mirror this machine's own apt sources name, into a folder of its own
# (tools/emulation-env.sh): nothing of the machine's apt set-up changes. apt fetches
# the suite's signed index into a private state folder and checks the package against
# it; the package is unpacked there and only its qemu-i386 (a static-pie program that
# needs nothing else) is kept.
#   fetch-qemu.sh                 does nothing when a good qemu-i386 is there already
#   fetch-qemu.sh --print-source  prints the sources line it would use, and stops
# A failed fetch says why in one line (also kept in the folder for tools/runs-32bit.sh)
# and ends with status 1.
# TERVAGON_APT_ETC stands in for /etc/apt in the script's own tests.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
# shellcheck source=emulation-env.sh
. "$here/emulation-env.sh"
# shellcheck source=apt.sh
. "$here/apt.sh"
apt_etc=${TERVAGON_APT_ETC:-/etc/apt}
release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
release=${release:-bookworm}
suite=$release-backports
package=qemu-user

# The first enabled "deb" source of the release's own suite, as "URI|SIGNED-BY" (SIGNED-BY
# empty when the source names no keyring), from one-line and deb822 sources alike.
release_source() {
  local f
  for f in "$apt_etc/sources.list" "$apt_etc"/sources.list.d/*.list "$apt_etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in
      *.sources)
        awk -v suite="$release" '
          BEGIN { RS = ""; FS = "\n" }
          {
            types = ""; uris = ""; suites = ""; signed = ""; enabled = "yes"
            for (i = 1; i <= NF; i++) {
              line = $i
              if (line ~ /^[ \t]*#/ || !match(line, /^[A-Za-z-]+:/)) continue
              key = tolower(substr(line, 1, RLENGTH - 1)); value = substr(line, RLENGTH + 1)
              gsub(/^[ \t]+|[ \t]+$/, "", value)
              if (key == "types") types = value
              else if (key == "uris") uris = value
              else if (key == "suites") suites = value
              else if (key == "signed-by") signed = value
              else if (key == "enabled") enabled = tolower(value)
            }
            if (enabled == "no" || (" " types " ") !~ / deb / || (" " suites " ") !~ (" " suite " ")) next
            split(uris, u, /[ \t]+/); print u[1] "|" signed; exit
          }' "$f" ;;
      *)
        awk -v suite="$release" '
          /^[ \t]*deb[ \t]/ {
            line = $0; sub(/^[ \t]*deb[ \t]+/, "", line); options = ""
            if (match(line, /^\[[^]]*\]/)) { options = substr(line, 2, RLENGTH - 2); line = substr(line, RLENGTH + 1) }
            sub(/^[ \t]+/, "", line); split(line, f, /[ \t]+/)
            if (f[2] != suite) next
            signed = ""; n = split(options, o, /[ \t]+/)
            for (i = 1; i <= n; i++) if (o[i] ~ /^signed-by=/) signed = substr(o[i], 11)
            print f[1] "|" signed; exit
          }' "$f" ;;
    esac
  done | head -n 1
}

# The one sources line of the private list: the backports suite of the same mirror, checked
# against the same keyring.
backports_line() {
  local source uri signed
  source=$(release_source)
  [ -n "$source" ] || return 1
  uri=${source%%|*} signed=${source#*|}
  # A keyring is a file name; an inline key block can't be carried on one line.
  case "$signed" in /*) ;; *) signed="" ;; esac
  echo "deb ${signed:+[signed-by=$signed] }${uri%/} $suite main"
}

fail() {
  mkdir -p "$qemu_dir"
  echo "$*" >"$qemu_fetch_failure"
  echo "fetch-qemu: $*" >&2
  exit 1
}

if [ "${1:-}" = --print-source ]; then
  backports_line || { echo "fetch-qemu: no enabled 'deb ... $release' source under $apt_etc" >&2; exit 1; }
  exit 0
fi

if [ -x "$qemu_binary" ] && version_at_least "$(qemu_version "$qemu_binary")" "$qemu_minimum_version"; then
  exit 0
fi
line=$(backports_line) || fail "no enabled 'deb ... $release' source in $apt_etc to take the mirror from"
mkdir -p "$qemu_dir"
work=$(mktemp -d "$qemu_dir/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc/parts" "$work/state/lists/partial" "$work/cache/archives/partial" "$work/deb"
echo "$line" >"$work/etc/sources.list"
: >"$work/state/status"
# apt's downloads run as its _apt user where it can reach the folder.
chown -R _apt "$work/state/lists" "$work/deb" 2>/dev/null || true
chmod 755 "$work" "$work/state" 2>/dev/null || true
architecture=$(dpkg --print-architecture)
private=(-o "Dir::Etc::SourceList=$work/etc/sources.list" -o "Dir::Etc::SourceParts=$work/etc/parts"
         -o "Dir::Etc::Preferences=$work/etc/preferences" -o "Dir::Etc::PreferencesParts=$work/etc/parts"
         -o "Dir::State=$work/state" -o "Dir::State::status=$work/state/status" -o "Dir::Cache=$work/cache"
         -o "APT::Architecture=$architecture" -o "APT::Architectures=$architecture"
         -o "Acquire::Languages=none")
echo "setup: fetching $package from $suite (${line#deb }) for the emulated 32-bit road" >&2
SUDO="" apt_update "${private[@]}"
if ! apt_resolves "$package" "${private[@]}"; then
  fail "$suite has no $package for $architecture${apt_update_complaint:+ (apt-get update failed for: $(apt_complaint_line))}"
fi
if ! output=$(cd "$work/deb" && apt-get "${private[@]}" download -qq "$package" 2>&1); then
  fail "apt-get download $package from $suite failed: $(grep -m1 '^E:' <<<"$output" | sed 's/^E: //')"
fi
dpkg-deb -x "$work/deb"/"$package"_*.deb "$work/unpacked"
[ -f "$work/unpacked/usr/bin/qemu-i386" ] || fail "$package from $suite has no usr/bin/qemu-i386"
version=$(qemu_version "$work/unpacked/usr/bin/qemu-i386")
version_at_least "$version" "$qemu_minimum_version" ||
  fail "the qemu-i386 of $suite is ${version:-of an unknown version}; the emulated road needs $qemu_minimum_version or newer"
install -m 755 "$work/unpacked/usr/bin/qemu-i386" "$qemu_binary.new"
mv "$qemu_binary.new" "$qemu_binary"
rm -f "$qemu_fetch_failure"
echo "setup: qemu-i386 $version in $qemu_dir" >&2
