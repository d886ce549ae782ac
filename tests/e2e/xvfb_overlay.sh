#!/usr/bin/env bash
# On an X server, in a window (QUILLON_WINDOWED=1), on the device E2E_DEVICE
# names (the reference one when unset): the overlay is on the screen but
# neither in the key script's capture nor in F12's picture, which shows the
# cloud and goes under the pictures folder; a window resized by the user
# shows the whole picture with its aspect, black bars at the sides; a close
# request (WM_DELETE_WINDOW, as a window manager sends for the close button
# or Alt+F4) ends it through its own shutdown: status 0, the log whole,
# nothing said.
source "$(dirname "$0")/lib.sh"

device=QUILLON_DEVICE=${E2E_DEVICE:-ref}
start_xvfb 640x480
# Long enough to look; the test ends the program by signal.
printf '5\ncapture cap.png\n100000\n1 ESCAPE\n' >"$WORK/keys"
start_quillon "$device" QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/keys" QUILLON_WINDOWED=1 \
  QUILLON_HUD=fps,frametime,device XDG_PICTURES_DIR="$WORK/pics"
wait_for 30 test -s "$WORK/cap.png" || fail "no capture: $(cat "$WORK/quillon.out")"
wait_for 10 form_window || fail "no window"
sleep 1
screenshot "$WORK/screen.png"
# The overlay's corner: all blue in the capture, not on the screen.
[ "$("$PICTURE_TOOL" notblue "$WORK/cap.png" 0 0 190 90)" = 0 ] || fail "the capture holds more than blue"
shown=$("$PICTURE_TOOL" notblue "$WORK/screen.png" 0 0 190 90)
[ "$shown" -gt 1000 ] || fail "no overlay on the screen ($shown pixels)"
# Beside its first line of text the picture shows through, where it was.
[ "$("$PICTURE_TOOL" pixel "$WORK/screen.png" 150 10)" = 0000FF ] || fail "the overlay hides the picture"
note "overlay: $shown pixels on the screen, none in the capture"

xdotool key F12
wait_for 10 sh -c "ls '$WORK'/pics/quillon/quillon-*.png" || fail "F12 wrote no picture: $(cat "$WORK/quillon.out")"
wait_for 10 grep -q "screenshot written to $WORK/pics/quillon/quillon-" "$WORK/quillon.out" ||
  fail "F12 said nothing: $(cat "$WORK/quillon.out")"
picture=$(ls "$WORK"/pics/quillon/quillon-*.png | head -n1)
read -r w h _ cloud _ < <(stats "$picture")
[ "$w" = 640 ] && [ "$h" = 480 ] && [ "$cloud" -gt 100 ] || fail "screenshot ${w}x${h}, $cloud cloud pixels"
[ "$("$PICTURE_TOOL" notblue "$picture" 0 0 190 90)" = 0 ] || fail "F12's picture holds the overlay"
note "F12: $(ls "$WORK"/pics/quillon/)"
signal_quillon TERM
wait_quillon 20 >/dev/null

# Resized by the user to 600x200: the picture is 267x200 at x=166.
printf '100000\n' >"$WORK/hold.keys"
start_quillon "$device" QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys" QUILLON_WINDOWED=1
wait_for 10 form_window || fail "no window"
id=$(form_id)
xdotool windowsize "$id" 600 200
wait_for 10 sh -c "xwininfo -id $id | grep -q 'Width: 600'" || fail "the window was not resized"
sleep 1
screenshot "$WORK/resized.png"
for at in "150 100 000000" "450 100 000000" "170 3 0000FF" "429 196 0000FF"; do
  set -- $at
  got=$("$PICTURE_TOOL" pixel "$WORK/resized.png" "$1" "$2")
  [ "$got" = "$3" ] || fail "resized window: pixel $1,$2 is $got, not $3"
done
read -r _ _ _ cloud cx cy < <(stats "$WORK/resized.png")
[ "$cloud" -gt 100 ] && [ "$cx" -gt 250 ] && [ "$cx" -lt 350 ] || fail "no cloud in the middle ($cloud at $cx,$cy)"
note "resized to 600x200: bars at the sides, the picture between them"
"$CLOSE_REQUEST" "$id" || fail "cannot send the close request"
expect_ended 0
[ -s "$WORK/quillon.out" ] && fail "said: $(cat "$WORK/quillon.out")"
check_log "$WORK/FPS.TXT"
note "closed: status 0, $(log_lines "$WORK/FPS.TXT") log lines"
echo PASS
