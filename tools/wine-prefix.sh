#!/usr/bin/env bash
# Starts or stops a private Wine prefix, 64-bit (WoW64: PE32 programs run in it as on
# 64-bit Windows) or 32-bit (as 32-bit Windows).
#   wine-prefix.sh start PREFIX [win64|win32]   idempotent; creates the prefix when new
#   wine-prefix.sh fresh PREFIX [win64|win32]   stops it, deletes it and starts a new one
#   wine-prefix.sh stop PREFIX
# The architecture is chosen when the prefix is made (default win64) and recorded in it,
# so wine-run.sh and a later start need not repeat it.
# Wine's background services inherit the standard streams of the first Wine
# process in a prefix, so they are started here, detached, before any test
# program whose output is read through a pipe.
set -euo pipefail
action=${1:?start|fresh|stop}
here=$(dirname "$(realpath "$0")")
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
wine_env "${2:?prefix directory}" "${3:-}"  # exports WINEPREFIX, made absolute

# The server's process id is recorded with its PID namespace: an id from another one (the
# namespace of an earlier emulated run, see with-32bit.sh) says nothing about this one.
pid_namespace=$(readlink /proc/self/ns/pid)
server_running() {
  local pid namespace
  [ -f "$WINEPREFIX/.tervagon-server" ] && read -r pid namespace <"$WINEPREFIX/.tervagon-server" &&
    [ "$namespace" = "$pid_namespace" ] && kill -0 "$pid" 2>/dev/null
}

# Starts the persistent server and the prefix's services, detached from our streams.
launch() {
  if ! server_running; then
    setsid "$wineserver" -p -f </dev/null >/dev/null 2>&1 9>&- &
    echo "$! $pid_namespace" >"$WINEPREFIX/.tervagon-server"
  fi
  # wineboot returns once the prefix is initialised and its services run.
  if ! setsid "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-; then
    echo "wine-prefix: wineboot failed in $WINEPREFIX" >&2
    exit 1
  fi
}

start() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if server_running && [ -f "$WINEPREFIX/.tervagon-ready" ]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  echo "$WINEARCH" >"$WINEPREFIX/.tervagon-arch"
  local new_prefix=0
  [ -f "$WINEPREFIX/system.reg" ] || new_prefix=1
  launch
  if [ "$new_prefix" = 1 ]; then
    # No display here: with the null graphics driver, windows (such as the
    # hidden one of every single-threaded COM apartment) can still be made.
    # Without it the desktop process fails to start and each COM program waits
    # for it. The driver is read when the desktop starts, so the new prefix is
    # started once more after the setting is in.
    setsid "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    launch
  fi
  # The desktop closes when the last program using it ends, and a desktop
  # started afresh for the next program often fails here, which costs each COM
  # program seconds. A shell window open for the prefix's lifetime keeps the
  # one desktop alive; stop ends it with the server.
  setsid "$wine" explorer.exe </dev/null >/dev/null 2>&1 9>&- &
  touch "$WINEPREFIX/.tervagon-ready"
}

stop() {
  if [ -d "$WINEPREFIX" ]; then
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -f "$WINEPREFIX/.tervagon-server" "$WINEPREFIX/.tervagon-ready"
  fi
}

case "$action" in
  start) start ;;
  stop) stop ;;
  fresh) stop; rm -rf "$WINEPREFIX"; start ;;
  *) echo "usage: $0 start|fresh|stop PREFIX" >&2; exit 2 ;;
esac
