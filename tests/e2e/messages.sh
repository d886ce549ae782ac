#!/usr/bin/env bash
# What the program says on stderr, and with which status: one line saying it
# runs without a window; an unreachable DISPLAY named; a missing drive C
# named with its variable; a trace that cannot be written reported once with
# its reason and status 3; QUILLON_LOG_LEVEL=error keeping notices quiet; no
# key script without a display reported as a missing keyboard.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY
printf '3\n1 ESCAPE\n' >"$WORK/keys"

# run STATUS VAR=VALUE...: the program with the short script; stderr in $WORK/err.
run() {
  local want=$1 status=0
  shift
  env QUILLON_KEYS="$WORK/keys" QUILLON_DRIVE_C="$WORK" "$@" timeout -k 5 60 "$QUILLON" \
    >"$WORK/out" 2>"$WORK/err" || status=$?
  [ "$status" = "$want" ] || fail "$*: status $status, not $want: $(cat "$WORK/err")"
  if grep -v '^quillon: ' "$WORK/err" | grep -q .; then
    fail "$*: a line without the prefix: $(grep -v '^quillon: ' "$WORK/err")"
  fi
}

run 0
[ "$(grep -c 'running without a window' "$WORK/err")" = 1 ] || fail "no single notice: $(cat "$WORK/err")"
grep -q "log goes to $WORK/FPS.TXT" "$WORK/err" || fail "the notice does not say where the log goes"
grep -q 'Ctrl+C' "$WORK/err" || fail "the notice does not say how to end it"
run 0 QUILLON_LOG_LEVEL=error
[ ! -s "$WORK/err" ] || fail "QUILLON_LOG_LEVEL=error still says: $(cat "$WORK/err")"
note "no display: one notice; silent at QUILLON_LOG_LEVEL=error"

run 0 DISPLAY=:9999
grep -q 'cannot reach the X display DISPLAY=:9999' "$WORK/err" || fail "unreachable DISPLAY: $(cat "$WORK/err")"
note "unreachable DISPLAY named"

run 1 QUILLON_DRIVE_C=/nonexistent
grep -qx 'quillon: (76) Path not found: /nonexistent/FPS.TXT (drive C is QUILLON_DRIVE_C=/nonexistent)' \
  "$WORK/err" || fail "drive C error: $(cat "$WORK/err")"
note "$(grep '(76)' "$WORK/err")"

# A trace named after a folder or a FIFO: one warning with the reason,
# status 3, no file of the frame left beside it (and no wait on the FIFO).
mkdir -p "$WORK/traces/taken" && mkfifo "$WORK/traces/fifo"
for trace in taken fifo; do
  run 3 QUILLON_TRACE="$WORK/traces/$trace"
  [ "$(grep -c 'trace:' "$WORK/err")" = 1 ] || fail "not one trace warning: $(cat "$WORK/err")"
  grep -Eq 'Is a directory|not a regular file' "$WORK/err" || fail "no reason: $(cat "$WORK/err")"
  [ "$(ls "$WORK/traces" | tr '\n' ' ')" = "fifo taken " ] || fail "files left: $(ls "$WORK/traces")"
  note "$(grep 'trace:' "$WORK/err")"
done

# No display and no key script: no keyboard, so nothing could ever end the
# run. The program's one report names the variable, and it ends.
status=0
env -u QUILLON_KEYS QUILLON_DRIVE_C="$WORK/nokeys" timeout -k 5 60 "$QUILLON" >"$WORK/out" 2>"$WORK/err" ||
  status=$?
[ "$status" = 1 ] || fail "no keyboard: status $status, not 1: $(cat "$WORK/err")"
grep -qx 'quillon: (-2147221164) DIERR_DEVICENOTREG: the device is not registered: no keyboard without a display; set QUILLON_KEYS to a key script' \
  "$WORK/err" || fail "no keyboard: $(cat "$WORK/err")"
[ "$(wc -l <"$WORK/err")" = 1 ] || fail "no keyboard: not one line: $(cat "$WORK/err")"
[ ! -e "$WORK/nokeys/FPS.TXT" ] || fail "no keyboard: the loop ran"
note "no keyboard: $(cat "$WORK/err")"

run 2 QUILLON_LOG_LEVEL=loud
grep -q 'QUILLON_LOG_LEVEL must be error, warn, info or debug' "$WORK/err" || fail "$(cat "$WORK/err")"
echo PASS
