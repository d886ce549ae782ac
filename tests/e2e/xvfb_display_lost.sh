#!/usr/bin/env bash
# The X server ends while the program draws: the host says so in one line
# instead of Xlib's, the device's present (or the keyboard's poll) fails, and
# the program reports that failure once and runs its own shutdown: status 1,
# no crash, and the log keeps whole lines only.
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
start_holding
wait_for 30 form_window || fail "no window; output: $(cat "$WORK/quillon.out")"
wait_for 30 test -s "$WORK/FPS.TXT" || fail "no frame logged"
kill "${STARTED_PIDS[0]}"
rc=$(wait_quillon 30)
out=$(cat "$WORK/quillon.out")
note "status $rc: $(tr '\n' ' ' <"$WORK/quillon.out")"
grep -q 'XIO\|X Error\|X_' "$WORK/quillon.out" && fail "Xlib's raw message: $out"
expect_loss_report 'the connection to the display :[0-9]* was lost' "$rc"
check_log "$WORK/FPS.TXT"

# The server ends while the error report's box is open (the box holds the
# only thread): still the one line, and status 1.
if [ -z "${E2E_DEVICE:-}" ]; then
  start_xvfb 1024x768
  start_quillon QUILLON_DRIVE_C="$WORK/no-such-folder" QUILLON_VSYNC=0
  wait_for 30 has_message_box || fail "no message box; output: $(cat "$WORK/quillon.out")"
  kill "${STARTED_PIDS[-3]}"
  rc=$(wait_quillon 30)
  note "during the box: status $rc: $(tr '\n' ' ' <"$WORK/quillon.out")"
  [ "$rc" = 1 ] || fail "status $rc, expected 1"
  [ "$(grep -c 'connection to the display .* was lost' "$WORK/quillon.out")" = 1 ] ||
    fail "not one line about the display: $(cat "$WORK/quillon.out")"
  grep -q 'X Error\|XIO' "$WORK/quillon.out" && fail "Xlib's raw message: $(cat "$WORK/quillon.out")"
fi
echo PASS
