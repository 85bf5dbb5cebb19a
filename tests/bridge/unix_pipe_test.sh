#!/usr/bin/env bash
# Under Wine, standard input may be a Unix pipe (a wrapper script in a manifest's
# "path", a shell), which reads empty at its end instead of failing: the host must
# still answer what came and end there.
#   unix_pipe_test.sh PREFIX BRIDGE_EXE EXTENSION_ID
set -euo pipefail
prefix=${1:?prefix} bridge=${2:?program} id=${3:?extension id}
root=$(realpath "$(dirname "$0")/../..")
message='not JSON'
expected='{"id":null,"error":"the message is not valid JSON (byte 1)"}'
reply=$(printf '\x08\x00\x00\x00%s' "$message" |
        timeout 60 "$root/tools/wine-run.sh" "$prefix" "$bridge" "chrome-extension://$id/" | tail -c +5)
if [ "$reply" != "$expected" ]; then
  echo "the host replied '$reply', not '$expected' (or did not end at the end of its input)" >&2
  exit 1
fi
echo "answered and ended: $reply"
