#!/usr/bin/env bash
# Where the display has 640x480, full screen changes the mode for real and
# gives the desktop's mode back at the end.
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
offer_640x480
mode_is 1024x768 || fail "screen is $(current_mode)"

printf '%s\n' 5000 >"$WORK/hold.keys"
# start_full_screen: the program holding the screen at 640x480.
start_full_screen() {
  rm -f "$WORK/FPS.TXT"
  start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys"
  wait_for 30 mode_is 640x480 || fail "the mode did not change: $(current_mode)"
  wait_logged
}
start_full_screen
wait_for 10 form_geometry_is 640x480+0+0 || fail "window $(form_geometry)"
sleep 0.5
screenshot "$WORK/shot.png"
expect_cloud "$WORK/shot.png" 1000
note "screen ${w}x${h}: blue $blue, cloud $cloud"

# The key script holds no Escape: any signal that ends the program gives the
# mode back first (SIGPIPE ends it no more). The last ones go to the program
# itself, as the time limit's process would not pass them on.
for sig in TERM QUIT USR1 PIPE; do
  [ "$sig" = TERM ] || start_full_screen
  if [ "$sig" = TERM ]; then
    signal_quillon TERM
  else
    kill "-$sig" "$(pgrep -P "$(cat "$WORK/quillon.pid")")"
  fi
  if [ "$sig" = PIPE ]; then
    sleep 1
    quillon_ended && fail "SIGPIPE ended the program"
    signal_quillon TERM
  fi
  wait_quillon 30 >/dev/null
  wait_for 10 mode_is 1024x768 ||
    fail "SIG$sig: the desktop mode was not given back: $(current_mode)"
  note "SIG$sig: the desktop mode given back"
done
echo PASS
