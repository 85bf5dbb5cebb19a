# Sourced by the Wine scripts: wine_env PREFIX [ARCH] sets the environment and the loader
# for one private prefix. Without ARCH, the prefix's recorded architecture holds (win64 for
# a new one); ARCH is given when the prefix is made.
wine_env() {
  export WINEPREFIX
  WINEPREFIX=$(realpath -m "$1")
  local arch=${2:-}
  if [ -z "$arch" ] && [ -f "$WINEPREFIX/.tervagon-arch" ]; then
    arch=$(cat "$WINEPREFIX/.tervagon-arch")
  fi
  arch=${arch:-win64}
  case "$arch" in
    win64) wine=/usr/lib/wine/wine64 ;;
    win32) wine=/usr/lib/wine/wine ;;
    *) echo "wine-env: unknown architecture '$arch' (win64 or win32)" >&2; return 2 ;;
  esac
  export WINELOADER=$wine
  wineserver=/usr/lib/wine/wineserver64
  export WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  # Under emulation Wine's crash debugger hangs instead of reporting: a crashing program
  # must end and fail at once there.
  if [ "${TERVAGON_32BIT_ROAD:-}" = emulated ]; then
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe=d"
  fi
}

# wine_path FILE: the file's path as a Windows program under Wine opens it (Wine shows
# the machine's root as drive Z:).
wine_path() {
  printf 'Z:%s\n' "$(realpath "$1" | tr / '\\')"
}
