#!/usr/bin/env bash
# tools/apt.sh against a stand-in apt-get, apt-cache and sleep on PATH: an update that
# fails its first N tries (or always) in the ways a mirror does, and lists that find or
# miss packages. Each case checks the outcome, the lines printed, the tries and pauses.
#   apt_test.sh PATH/TO/tools/apt.sh
set -uo pipefail
library=${1:?apt.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
index=http://mirror.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz

cat >"$work/bin/apt-get" <<EOF
#!/usr/bin/env bash
# Options (-o, -t) come before the verb, as apt.sh passes them.
release=""
while [ "\${1#-}" != "\$1" ]; do
    [ "\$1" = -t ] && { release=\$2; shift; }
    [ "\$1" = -o ] && shift
    shift
done
case "\$1" in
update)
    n=\$(( \$(cat "$work/updates" 2>/dev/null || echo 0) + 1 ))
    echo "\$n" >"$work/updates"
    if [ "\$STANDIN_FAILS" = always ] || [ "\$n" -le "\$STANDIN_FAILS" ]; then
        case "\$STANDIN_MODE" in
        sync)  echo "E: Failed to fetch $index  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
               echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
               exit 100 ;;
        offline) echo "W: Failed to fetch http://mirror.example/debian/dists/bookworm/InRelease  Temporary failure resolving 'mirror.example'"
               echo "W: Some index files failed to download. They have been ignored, or old ones used instead."
               exit 0 ;;
        lock)  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)"
               exit 100 ;;
        esac
    fi
    exit 0 ;;
install)
    if [ "\$2" = -s ]; then
        if [ "\$STANDIN_SKEWED" = 1 ] && [ -z "\$release" ]; then
            echo "E: Unable to correct problems, you have held broken packages."
            exit 100
        fi
        exit 0
    fi
    shift
    echo "\${release:+-t \$release }\$*" >>"$work/installed"
    exit 0 ;;
esac
exit 1
EOF
cat >"$work/bin/apt-cache" <<'EOF'
#!/usr/bin/env bash
# apt-cache [-o X] policy PACKAGE: a candidate for the known packages, nothing for others.
package=${!#}
for known in $STANDIN_KNOWN; do
    if [ "$known" = "$package" ]; then
        printf '%s:\n  Installed: (none)\n  Candidate: 1.0-1\n' "$package"; exit 0
    fi
done
EOF
cat >"$work/bin/sleep" <<EOF
#!/bin/sh
echo "\$1" >>"$work/pauses"
EOF
chmod +x "$work/bin/"*

sync_line="^setup: apt-get update still failed after 4 tries; going on with the package lists there are\. Failed: $index \(File has unexpected size \(374820 != 376004\)\. Mirror sync in progress\? \[IP: 203\.0\.113\.80 80\]\)$"
# name | update fails (N or always) | how | skewed lists | packages | status | updates |
# installed (- none) | the lines printed, in order (grep -E each, joined by "&&"; empty: none)
cases=(
  "fresh mirror|0|sync|0|wine cmake|0|1|wine cmake|"
  "mid-sync once, then whole|1|sync|0|wine|0|2|wine|"
  "mid-sync throughout|always|sync|0|wine cmake|0|4|wine cmake|$sync_line"
  "mid-sync, a package no list has|always|sync|0|wine nosuch|1|4|-|$sync_line&&^setup: can't install nosuch: the package lists have no candidate for it; apt-get update had failed for: $index \(File has unexpected size"
  "fresh mirror, a package no list has|0|sync|0|nosuch wine|1|1|-|^setup: can't install nosuch: the package lists have no candidate for it$"
  "mid-sync, architectures out of step|always|sync|1|wine32:i386|0|4|-t bookworm -y -qq --no-install-recommends wine32:i386|$sync_line&&^setup: the package lists of the architectures are out of step after the failed update; installing from bookworm's release suite$"
  "fresh mirror, unresolvable set|0|sync|1|wine32:i386|1|1|-|^setup: apt-get can't install wine32:i386: Unable to correct problems, you have held broken packages\.$"
  "offline: warnings and status 0|always|offline|0|wine|0|4|wine|^setup: apt-get update still failed after 4 tries; .*Failed: http://mirror\.example/debian/dists/bookworm/InRelease \(Temporary failure resolving 'mirror\.example'\)$"
  "lists locked, no index named|always|lock|0|wine|0|4|wine|^setup: apt-get update still failed after 4 tries; .*Failed: Could not get lock /var/lib/apt/lists/lock\. It is held by process 4242 \(apt-get\)$"
)
failed=0
fail() { echo "FAIL $name: $*" >&2; failed=1; }
for entry in "${cases[@]}"; do
    IFS='|' read -r name fails mode skewed packages want_status want_updates want_installed patterns <<<"$entry"
    rm -f "$work/updates" "$work/installed" "$work/pauses"
    # The release suite is the machine's own (/etc/os-release): bookworm on Debian 12.
    output=$(PATH="$work/bin:$PATH" STANDIN_FAILS=$fails STANDIN_MODE=$mode STANDIN_SKEWED=$skewed \
             STANDIN_KNOWN="wine cmake wine32:i386" SUDO="" \
             bash -c '. "$1"; shift; apt_update && apt_install -- "$@"' _ "$library" $packages 2>&1)
    status=$?
    [ "$status" = "$want_status" ] || fail "exit status $status, expected $want_status"
    [ "$(cat "$work/updates")" = "$want_updates" ] || fail "$(cat "$work/updates") updates, expected $want_updates"
    if [ "$want_installed" = - ]; then
        [ ! -s "$work/installed" ] || fail "installed '$(cat "$work/installed")', expected nothing"
    else
        case "$want_installed" in -t*) ;; *) want_installed="-y -qq --no-install-recommends $want_installed" ;; esac
        [ "$(cat "$work/installed" 2>/dev/null)" = "$want_installed" ] ||
            fail "installed '$(cat "$work/installed" 2>/dev/null)', expected '$want_installed'"
    fi
    mapfile -t lines < <([ -z "$output" ] || printf '%s\n' "$output")
    mapfile -t wanted < <([ -z "$patterns" ] || sed 's/&&/\n/g' <<<"$patterns")
    if [ "${#lines[@]}" != "${#wanted[@]}" ]; then
        fail "${#lines[@]} lines, expected ${#wanted[@]}: '$output'"
    else
        for i in "${!wanted[@]}"; do
            grep -Eq -- "${wanted[$i]}" <<<"${lines[$i]}" || fail "line '${lines[$i]}' does not match /${wanted[$i]}/"
        done
    fi
    # Retries pause longer each time, and a minute in all at most.
    if [ -s "$work/pauses" ]; then
        previous=0 total=0
        while read -r pause; do
            [ "$pause" -gt "$previous" ] || fail "pause $pause after $previous does not grow"
            previous=$pause total=$((total + pause))
        done <"$work/pauses"
        [ "$total" -le 60 ] || fail "pauses of $total s in all"
    fi
done
[ "$failed" = 0 ] && echo "apt.sh: ${#cases[@]} cases passed"
exit $failed
