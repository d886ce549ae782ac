# Helpers of the end-to-end tests: a private X server, the program, waits
# with time limits, and cleanup of exactly the processes a test started.
#
# Expects: QUILLON (the program), PICTURE_TOOL, X_TOOL.
set -u

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quillon-e2e.XXXXXX")
STARTED_PIDS=()

cleanup() {
  kill "${STARTED_PIDS[@]}" 2>/dev/null; sleep 0.2
  kill -9 "${STARTED_PIDS[@]}" 2>/dev/null
  if [ "${KEEP_WORK:-0}" = 1 ]; then echo "work kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "-- $*"; }

# start_xvfb WIDTHxHEIGHT [nofonts]: a private X server on a display number
# it picks itself; sets DISPLAY. -noreset keeps added modes when clients
# leave; the font path lets message boxes find a font ("nofonts" leaves the
# server its built-in fonts only).
start_xvfb() {
  local size=$1 fonts="built-ins"
  [ -d /usr/share/fonts/X11/misc ] && [ "${2:-}" != nofonts ] && fonts="built-ins,/usr/share/fonts/X11/misc"
  exec 5>"$WORK/display"
  Xvfb -displayfd 5 -screen 0 "${size}x24" -noreset -nolisten tcp -fp "$fonts" \
    >"$WORK/xvfb.log" 2>&1 &
  STARTED_PIDS+=($!)
  exec 5>&-
  wait_for 10 test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  export DISPLAY=":$(head -n1 "$WORK/display")"
  unset WAYLAND_DISPLAY
  note "Xvfb on $DISPLAY ($size)"
}

# start_quillon [VAR=VALUE...]: the program in the background, its output in
# $WORK/quillon.out, its status in $WORK/quillon.rc when it ends.
start_quillon() {
  rm -f "$WORK/quillon.rc" "$WORK/quillon.pid"
  (sh -c 'echo $$ >"$0"; exec env "$@"' "$WORK/quillon.pid" "$@" \
     timeout -k 5 120 "$QUILLON" >"$WORK/quillon.out" 2>&1
   echo $? >"$WORK/quillon.rc") &
  STARTED_PIDS+=($!)
  wait_for 10 test -s "$WORK/quillon.pid" || fail "the program did not start"
  # The time limit's process: a signal sent to it reaches the program.
  STARTED_PIDS+=("$(cat "$WORK/quillon.pid")")
}

signal_quillon() { kill "-$1" "$(cat "$WORK/quillon.pid")"; }

# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
  local end=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] && sleep 0.2 || return 1
  done
}

quillon_ended() { [ -s "$WORK/quillon.rc" ]; }

# wait_quillon SECONDS: waits for the program's end and prints its status.
wait_quillon() {
  wait_for "$1" quillon_ended || fail "the program did not end within $1 s; output: $(cat "$WORK/quillon.out")"
  cat "$WORK/quillon.rc"
}

# expect_ended STATUS [SECONDS]: the program ends within SECONDS (30) so.
expect_ended() {
  local rc
  rc=$(wait_quillon "${2:-30}") || exit 1
  [ "$rc" = "$1" ] || fail "status $rc, expected $1; output: $(cat "$WORK/quillon.out")"
}

wait_logged() { wait_for 30 test -s "$WORK/FPS.TXT" || fail "no frame logged: $(cat "$WORK/quillon.out")"; }

# run_headless NAME KEYS [VAR=VALUE...]: the program without a display to
# its end with status 0 and a whole log, in $WORK/NAME (drive C, the key
# script KEYS as printf %b reads it, the captures, its output in `out`).
run_headless() {
  local name=$1 dir="$WORK/$1"
  mkdir -p "$dir"
  printf '%b' "$2" >"$dir/keys"
  shift 2
  env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_DRIVE_C="$dir" QUILLON_KEYS="$dir/keys" "$@" \
    timeout -k 5 120 "$QUILLON" >"$dir/out" 2>&1 || fail "$name: status $?: $(cat "$dir/out")"
  check_log "$dir/FPS.TXT"
}

# The device E2E_DEVICE names (the default one when unset), as the program's
# setting: E2E_DEVICE=hal runs a script on the hardware device (any OpenGL
# 3.3 renderer accepted).
DEVICE=()
[ -n "${E2E_DEVICE:-}" ] && DEVICE=(QUILLON_DEVICE="$E2E_DEVICE")

current_mode() { xrandr | awk '/current/ {print $8 "x" $10}' | tr -d ','; }
mode_is() { [ "$(current_mode)" = "$1" ]; }

# The form's window line from the window tree ("Form1": ... WxH+X+Y ...).
form_window() { xwininfo -root -tree | grep '"Form1"'; }
form_geometry() { form_window | grep -o '[0-9]*x[0-9]*+[0-9-]*+[0-9-]*' | head -n1; }
form_geometry_is() { [ "$(form_geometry)" = "$1" ]; }
# A top-level window titled "Quillon": the message box.
message_box_id() { xwininfo -root -tree | awk '/"Quillon"/ {print $1; exit}'; }
has_message_box() { [ -n "$(message_box_id)" ]; }

form_id() { xdotool search --name '^Form1$' | head -n1; }

# screenshot FILE [WINDOW]: the screen, or one window.
screenshot() { import -window "${2:-root}" -depth 8 "PNG24:$1"; }

# stats FILE -> "width height blue cloud cx cy"
stats() { "$PICTURE_TOOL" stats "$1"; }
cloud_pixels() { stats "$1" | awk '{print $4}'; }
# expect_cloud FILE MIN: more than MIN cloud pixels over more blue; sets w h
# blue cloud cx cy.
expect_cloud() {
  read -r w h blue cloud cx cy < <(stats "$1")
  [ "$cloud" -gt "$2" ] && [ "$blue" -gt "$cloud" ] ||
    fail "$1: no cloud over blue (${w}x${h}, blue $blue, cloud $cloud)"
}

# check_log FILE: one line per frame, each a number's digits and CR LF.
check_log() {
  local log=$1
  [ -s "$log" ] || fail "no log, or an empty one, at $log"
  [ "$(tail -c 2 "$log" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the log does not end in CR LF"
  ! LC_ALL=C grep -v -q -P '^[0-9]+\r$' "$log" ||
    fail "a log line is not digits + CR LF: $(LC_ALL=C grep -v -P '^[0-9]+\r$' "$log" | head -n3 | od -c)"
}
log_lines() { wc -l <"$1"; }
expect_log_lines() { [ "$(log_lines "$1")" = "$2" ] || fail "$1: $(log_lines "$1") lines, not $2"; }

# Starts the program drawing with no key pressed for a long while, on the
# device E2E_DEVICE names (the default one when unset), with drive C in $WORK.
start_holding() {
  printf '%s\n' 100000 >"$WORK/hold.keys"
  start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys" QUILLON_VSYNC=0 \
    "${DEVICE[@]}" "$@"
}
