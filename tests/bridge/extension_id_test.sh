#!/usr/bin/env bash
# The extension id the host serves by default is the id of the extension's key:
#   extension_id_test.sh KEY_FILE ID
# The id is the SHA-256 of the key's DER bytes, first 32 hexadecimal digits, each
# 0-f written as a-p, as the browsers derive it.
set -euo pipefail
key=${1:?key file} expected=${2:?id}
actual=$(base64 -d "$key" | sha256sum | cut -c1-32 | tr 0-9a-f a-p)
if [ "$actual" != "$expected" ]; then
  echo "the key in $key gives the id $actual, but the host serves $expected" >&2
  exit 1
fi
echo "$key: $actual"
