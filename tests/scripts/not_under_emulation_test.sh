#!/usr/bin/env bash
# Every case that tests/not-under-emulation.txt names is a GoogleTest case of the sources,
# so that the test summary never names a case that doesn't exist and a renamed one can't
# slip back in under emulation.
#   not_under_emulation_test.sh PATH/TO/tests
set -uo pipefail
tests=${1:?tests folder}
failed=0 count=0
while read -r name; do
  suite=${name%%.*} case=${name#*.}
  count=$((count + 1))
  if [ "$suite" = "$name" ] ||
     ! grep -rqE "^TEST(_F)?\\($suite, $case\\)" --include='*.cpp' "$tests"; then
    echo "FAIL $name: no TEST($suite, $case) under $tests" >&2; failed=1
  fi
done < <(grep -v '^[[:space:]]*\(#\|$\)' "$tests/not-under-emulation.txt")
[ "$count" -gt 0 ] || { echo "FAIL: the list names no case" >&2; failed=1; }
[ "$failed" = 0 ] && echo "not-under-emulation.txt: $count cases found"
exit $failed
