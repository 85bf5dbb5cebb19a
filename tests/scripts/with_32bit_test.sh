#!/usr/bin/env bash
# tools/with-32bit.sh runs a command on the road chosen, in real namespaces: on the native
# road as it is; on the emulated one with i386 programs sent to the emulator (a stand-in
# that says how it was called) in a private binfmt_misc, as the caller's own user, with
# the command's status; a command over the time limit is killed with all it started.
#   with_32bit_test.sh PATH/TO/with-32bit.sh
# Exits 77 (not run) on a machine that can make no user namespace.
set -uo pipefail
runner=${1:?with-32bit.sh}
if ! unshare --user --map-root-user true 2>/dev/null; then
  echo "with-32bit.sh: not run, this machine makes no user namespaces"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\necho wine-8.0\n' >"$work/loader"
mkdir -p "$work/qemu"
cat >"$work/qemu/qemu-i386" <<'EOF'
#!/bin/sh
[ "$1" = --version ] && { echo "qemu-i386 version 10.0.2 (stand-in)"; exit 0; }
echo "emulated: $*"
EOF
# An i386 ELF header: enough for binfmt_misc to match, refused by a kernel without it.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' >"$work/i386-program"
chmod +x "$work/loader" "$work/qemu/qemu-i386" "$work/i386-program"
outside_user_ns=$(readlink /proc/self/ns/user)
marker=$RANDOM$RANDOM

on_road() {  # on_road ROAD COMMAND...: with-32bit.sh with that road forced
  env -u TERVAGON_32BIT_ROAD TERVAGON_32BIT="$1" TERVAGON_32BIT_LOADER="$work/loader" \
    TERVAGON_QEMU_DIR="$work/qemu" "${@:2}"
}
probe='echo "road=$TERVAGON_32BIT_ROAD uid=$(id -u) userns=$(readlink /proc/self/ns/user)"
       if [ -e /proc/sys/fs/binfmt_misc/tervagon-i386 ]; then echo "entry: $(head -n2 /proc/sys/fs/binfmt_misc/tervagon-i386 | paste -sd" ")"; fi
       exit 7'
failed=0
# expect NAME ROAD STATUS PATTERNS COMMAND...: the command on that road ends with STATUS
# and, for each grep -E pattern of PATTERNS (one a line), prints a line that matches.
expect() {
  local name=$1 road=$2 want_status=$3 patterns=$4; shift 4
  local output status pattern
  output=$(on_road "$road" "$runner" "$@" 2>&1)
  status=$?
  [ "$status" = "$want_status" ] || { echo "FAIL $name: status $status, expected $want_status: $output" >&2; failed=1; }
  while IFS= read -r pattern; do
    grep -Eq -- "$pattern" <<<"$output" || { echo "FAIL $name: no line matches /$pattern/ in: $output" >&2; failed=1; }
  done <<<"$patterns"
  if [ -e /proc/sys/fs/binfmt_misc/tervagon-i386 ]; then
    echo "FAIL $name: the entry is registered outside" >&2; failed=1
  fi
}
user=$(id -u) quoted_ns=$(sed 's/[][]/\\&/g' <<<"$outside_user_ns")
cases=0
row() { cases=$((cases + 1)); expect "$@"; }
row "native road: no namespace, no entry, the command's status" native 7 \
    "^road=native uid=$user userns=$quoted_ns$" bash -c "$probe"
row "emulated road: a namespace of its own as the same user, the entry inside, the status" emulated 7 \
    "^road=emulated uid=$user userns=user:
^entry: enabled interpreter $work/qemu/qemu-i386$" bash -c "$probe"
row "emulated road: an i386 program goes to the emulator" emulated 0 \
    "^emulated: $work/i386-program --version$" "$work/i386-program" --version
row "emulated road: entered again from inside, no second namespace is made" emulated 0 \
    "^emulated, the same namespace$" bash -c 'inner=$("$0" readlink /proc/self/ns/user)
      [ "$inner" = "$(readlink /proc/self/ns/user)" ] && echo "$TERVAGON_32BIT_ROAD, the same namespace"' "$runner"
[ "$(on_road emulated "$runner" bash -c 'readlink /proc/self/ns/user')" != "$outside_user_ns" ] ||
  { echo "FAIL emulated road: no user namespace of its own" >&2; failed=1; }

# A hung command: killed at the time limit with what it started, the suite told why.
started=$SECONDS
output=$(on_road emulated env TERVAGON_32BIT_SECONDS=2 "$runner" \
         bash -c "setsid sleep 300.$marker & sleep 301.$marker" 2>&1)
status=$?
[ "$status" = 137 ] || { echo "FAIL time limit: status $status, expected 137" >&2; failed=1; }
[ $((SECONDS - started)) -lt 60 ] || { echo "FAIL time limit: took $((SECONDS - started)) s" >&2; failed=1; }
grep -q "^with-32bit: killed after the time limit of 2 s" <<<"$output" ||
  { echo "FAIL time limit: no line says so: $output" >&2; failed=1; }
left_behind() {  # the processes of that command still running (read from /proc: no procps)
  local cmdline
  for cmdline in /proc/[0-9]*/cmdline; do
    { tr '\0' ' ' <"$cmdline"; } 2>/dev/null | grep -q "^sleep 30[01]\.$marker" && basename "$(dirname "$cmdline")"
  done
}
sleep 0.5
if [ -n "$(left_behind)" ]; then
  echo "FAIL time limit: processes left behind: $(left_behind | xargs)" >&2; failed=1
  kill -KILL $(left_behind) 2>/dev/null
fi

# A machine with neither road: one line, status 1, the command not run.
output=$(env -u TERVAGON_32BIT_ROAD TERVAGON_32BIT_LOADER="$work/absent" "$runner" touch "$work/ran" 2>&1)
status=$?
[ "$status" = 1 ] && [ ! -e "$work/ran" ] && [ "$(wc -l <<<"$output")" = 1 ] &&
  grep -q "^with-32bit: the shipped PE32 build's code can't be run here: 32-bit Wine is not installed" <<<"$output" ||
  { echo "FAIL impossible road: status $status: $output" >&2; failed=1; }

[ "$failed" = 0 ] && echo "with-32bit.sh: $((cases + 2)) cases passed"
exit $failed
