#!/usr/bin/env bash
# The Windows tests' session: `start` makes a fresh Wine prefix in the build
# folder and starts one private X server of 640x480 (full screen needs that
# mode on the screen) for every test; `end` stops both.
#
#   session.sh BUILD_DIR start|end
# The tests read the display from BUILD_DIR/session/display.
set -u
build=$1
dir=$build/session
export WINEPREFIX=$build/test-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop() {
  [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
  [ -s "$dir/xvfb.pid" ] && kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
  rm -f "$dir/xvfb.pid" "$dir/display"
}

case "$2" in
  start)
    stop  # what an interrupted run left
    rm -rf "$WINEPREFIX" && mkdir -p "$dir" || exit 1
    source "$(dirname "$0")/../e2e/lib.sh"
    start_xvfb 640x480 && echo "${DISPLAY#:}" >"$dir/display" && echo "$STARTED_PIDS" >"$dir/xvfb.pid"
    STARTED_PIDS=()  # the server outlives this script
    # The server stays between the tests' programs: each then starts faster.
    mkdir -p "$WINEPREFIX" && wineserver -p </dev/null >/dev/null 2>&1 &&
      wineboot -i </dev/null >"$dir/wineboot.log" 2>&1 ||
      { echo "no Wine prefix: $(cat "$dir/wineboot.log")"; exit 1; }
    echo "display $DISPLAY, prefix $WINEPREFIX" ;;
  end) stop ;;
  *) echo "usage: $0 BUILD_DIR start|end" >&2; exit 2 ;;
esac
