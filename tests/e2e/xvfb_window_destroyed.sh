#!/usr/bin/env bash
# Another program destroys the form's window (xdotool windowclose) while the
# program draws full screen in a changed mode: one clear line from the host,
# then the program's report of the lost device and its own shutdown (the
# desktop's mode given back, the log whole), status 1, no raw X error.
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
offer_640x480
start_holding
wait_for 30 mode_is 640x480 ||
  fail "the mode did not change: $(current_mode); output: $(cat "$WORK/quillon.out")"
wait_for 30 test -s "$WORK/FPS.TXT" || fail "no frame logged"
window=$(xwininfo -root -tree | awk '/"Form1"/ {print $1; exit}')
[ -n "$window" ] || fail "no window"
xdotool windowclose "$window" || fail "xdotool could not destroy the window"
rc=$(wait_quillon 30)
out=$(cat "$WORK/quillon.out")
note "status $rc: $(tr '\n' ' ' <"$WORK/quillon.out")"
grep -q 'X_\|BadDrawable\|BadWindow\|X Error' "$WORK/quillon.out" && fail "a raw X error: $out"
expect_loss_report 'the window was destroyed by another program' "$rc"
wait_for 10 mode_is 1024x768 ||
  fail "the desktop mode was not given back: $(current_mode)"
check_log "$WORK/FPS.TXT"
echo PASS
