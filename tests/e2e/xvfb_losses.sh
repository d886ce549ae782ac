#!/usr/bin/env bash
# Endings on an X server, on the device E2E_DEVICE names (the default one
# when unset). The window or the display goes while the program draws full
# screen: one clear line from the host instead of Xlib's, then the program's
# one report of the lost device (or input) and its own shutdown: status 1, no
# crash, the log whole. On the default device also: where the display has
# 640x480, full screen changes the mode for real and any signal that ends the
# program gives the desktop's mode back; a log that cannot be created shows
# the error report's box, the program waits for it and ends with status 1
# (also when the server ends while the box is open); on a server without
# usable fonts SDL cannot show a box, so the message goes to standard error
# and the program goes on at once.
source "$(dirname "$0")/lib.sh"

# expect_loss_report HOST_LINE STATUS: the host's line, then the program's
# report of a lost device or lost input, nothing else; status 1; the log whole.
expect_loss_report() {
  local out
  # A server going away may leave Xlib notices of events it cannot place;
  # they are the library's, not the program's.
  sed -i '/^Xlib: ignoring invalid extension event/d' "$WORK/quillon.out"
  out=$(cat "$WORK/quillon.out")
  note "status $2: $(tr '\n' ' ' <"$WORK/quillon.out")"
  grep -q 'X_\|BadDrawable\|BadWindow\|X Error\|XIO' "$WORK/quillon.out" && fail "a raw X error: $out"
  [ "$(wc -l <"$WORK/quillon.out")" = 2 ] || fail "not two lines: $out"
  head -n1 "$WORK/quillon.out" | grep -q "^quillon: $1" ||
    fail "the host's line does not come first: $out"
  tail -n1 "$WORK/quillon.out" |
    grep -Eq '^quillon: \((-2005530520\) D3DERR_DEVICELOST|-2147024866\) DIERR_INPUTLOST)' ||
    fail "not the program's report of a lost device: $out"
  [ "$2" = 1 ] || fail "status $2, expected 1"
  check_log "$WORK/FPS.TXT"
}

# start_full_screen: the program holding the screen at 640x480.
start_full_screen() {
  rm -f "$WORK/FPS.TXT"
  start_holding
  wait_for 30 mode_is 640x480 ||
    fail "the mode did not change: $(current_mode); output: $(cat "$WORK/quillon.out")"
  wait_logged
}

start_xvfb 1024x768
# The private server offers 640x480 beside its own mode.
xrandr --newmode 640x480_60 25.175 640 656 752 800 480 490 492 525 -hsync -vsync &&
  xrandr --addmode screen 640x480_60 || fail "cannot offer 640x480"
mode_is 1024x768 || fail "screen is $(current_mode)"

if [ -z "${E2E_DEVICE:-}" ]; then
  start_full_screen
  wait_for 10 form_geometry_is 640x480+0+0 || fail "window $(form_geometry)"
  sleep 0.5
  screenshot "$WORK/shot.png"
  expect_cloud "$WORK/shot.png" 1000
  note "screen ${w}x${h}: blue $blue, cloud $cloud"
  # The key script holds no Escape: any signal that ends the program gives
  # the mode back first (SIGPIPE ends it no more). The last ones go to the
  # program itself, as the time limit's process would not pass them on.
  for sig in TERM QUIT USR1 PIPE; do
    [ "$sig" = TERM ] && signal_quillon TERM ||
      { start_full_screen && kill "-$sig" "$(pgrep -P "$(cat "$WORK/quillon.pid")")"; }
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
fi

# Another program destroys the form's window (xdotool windowclose) while the
# screen is in a changed mode: the desktop's mode comes back too.
start_full_screen
xdotool windowclose "$(form_id)" || fail "xdotool could not destroy the window"
expect_loss_report 'the window was destroyed by another program' "$(wait_quillon 30)"
wait_for 10 mode_is 1024x768 || fail "the desktop mode was not given back: $(current_mode)"

# The error report's box: the program waits for it; closed, status 1.
if [ -z "${E2E_DEVICE:-}" ]; then
  start_quillon QUILLON_DRIVE_C="$WORK/no-such-folder" QUILLON_VSYNC=0
  wait_for 30 has_message_box || fail "no message box; output: $(cat "$WORK/quillon.out")"
  box=$(message_box_id)
  note "message box $box: $(xwininfo -id "$box" | grep -E 'Width|Height' | tr -s ' \n' ' ')"
  sleep 1
  quillon_ended && fail "the program did not wait for the box"
  xdotool key --window "$box" Return
  expect_ended 1
  grep -q '^quillon: (76) ' "$WORK/quillon.out" || fail "no report line: $(cat "$WORK/quillon.out")"
  has_message_box && fail "the box is still there"
fi

# The X server ends: the device's present (or the keyboard's poll) fails.
rm -f "$WORK/FPS.TXT"
start_holding
wait_for 30 form_window || fail "no window; output: $(cat "$WORK/quillon.out")"
wait_logged
kill "${STARTED_PIDS[0]}"
expect_loss_report 'the connection to the display :[0-9]* was lost' "$(wait_quillon 30)"

# The server ends while the error report's box is open (the box holds the
# only thread): still the one line, and status 1.
if [ -z "${E2E_DEVICE:-}" ]; then
  start_xvfb 1024x768
  start_quillon QUILLON_DRIVE_C="$WORK/no-such-folder" QUILLON_VSYNC=0
  wait_for 30 has_message_box || fail "no message box; output: $(cat "$WORK/quillon.out")"
  kill "${STARTED_PIDS[-3]}"
  expect_ended 1
  note "during the box: $(tr '\n' ' ' <"$WORK/quillon.out")"
  [ "$(grep -c 'connection to the display .* was lost' "$WORK/quillon.out")" = 1 ] ||
    fail "not one line about the display: $(cat "$WORK/quillon.out")"
  grep -q 'X Error\|XIO' "$WORK/quillon.out" && fail "Xlib's raw message: $(cat "$WORK/quillon.out")"

  # A server whose only fonts are its built-ins: no box, the line on
  # standard error, and the program does not wait.
  start_xvfb 1024x768 nofonts
  start_quillon QUILLON_DRIVE_C="$WORK/no-such-folder" QUILLON_VSYNC=0
  expect_ended 1
  grep -q '^quillon: (76) ' "$WORK/quillon.out" || fail "no report line: $(cat "$WORK/quillon.out")"
  note "without fonts: $(tr '\n' ' ' <"$WORK/quillon.out")"
fi
echo PASS
