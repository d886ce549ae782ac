#!/usr/bin/env bash
# The program on a wide X server whose screen lacks 640x480, on the device
# E2E_DEVICE names (the default one when unset, here the reference one).
# In a window (QUILLON_WINDOWED=1): the overlay is on the screen but neither
# in the key script's capture nor in F12's picture, which shows the cloud and
# goes under the pictures folder; a window resized by the user shows the whole
# picture with its aspect, black bars at the sides; a close request
# (WM_DELETE_WINDOW, as a window manager sends for the close button or Alt+F4)
# ends it through its own shutdown: status 0, the log whole, nothing said.
# Full screen: it covers the screen with the frame scaled, its shape kept
# (bars at the sides), hides the cursor, has the program's icon, reacts to a
# key held with xdotool (also while another window has the focus), shows the
# picture in a window and back on Alt+Enter, ends on Escape with status 0 and
# leaves a log of one CR LF line per frame.
source "$(dirname "$0")/lib.sh"

start_xvfb 1280x720

# expect_picture FILE X0 WIDTH: the picture fills columns X0..X0+WIDTH-1 of
# the file's height, blue at its corners, black (or nothing) beside it, the
# cloud at its centre; sets `cloud` to the cloud's pixels.
expect_picture() {
  local file=$1 x0=$2 w=$3 h blue cx cy
  read -r _ h blue cloud cx cy < <(stats "$file")
  [ "$cloud" -gt 100 ] && [ "$blue" -gt $((cloud * 2)) ] || fail "$file: no cloud over blue"
  [ $((cx - x0 - w / 2)) -gt -100 ] && [ $((cx - x0 - w / 2)) -lt 100 ] &&
    [ $((cy - h / 2)) -gt -100 ] && [ $((cy - h / 2)) -lt 100 ] ||
    fail "$file: the cloud is not at the centre ($cx,$cy)"
  for at in "$((x0 + 2)) 2 0000FF" "$((x0 + w - 3)) $((h - 3)) 0000FF" \
            "$((x0 - 3)) $((h / 2)) 000000" "$((x0 + w + 2)) $((h / 2)) 000000"; do
    set -- $at
    [ "$1" -lt 0 ] && continue
    got=$("$PICTURE_TOOL" pixel "$file" "$1" "$2") || continue  # beside the window
    [ "$got" = "$3" ] || fail "$file: pixel $1,$2 is $got, not $3"
  done
}

# Long enough to look; the test ends the program by signal.
printf '5\ncapture cap.png\n100000\n1 ESCAPE\n' >"$WORK/keys"
start_quillon "${DEVICE[@]}" QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/keys" QUILLON_WINDOWED=1 \
  QUILLON_HUD=fps,frametime,device XDG_PICTURES_DIR="$WORK/pics"
wait_for 30 test -s "$WORK/cap.png" || fail "no capture: $(cat "$WORK/quillon.out")"
wait_for 10 form_window || fail "no window"
id=$(form_id)
sleep 1
screenshot "$WORK/screen.png" "$id"
# The overlay's corner: all blue in the capture, not on the screen.
[ "$("$PICTURE_TOOL" notblue "$WORK/cap.png" 0 0 190 90)" = 0 ] || fail "the capture holds more than blue"
shown=$("$PICTURE_TOOL" notblue "$WORK/screen.png" 0 0 190 90)
[ "$shown" -gt 1000 ] || fail "no overlay on the screen ($shown pixels)"
# Beside its first line of text the picture shows through, where it was.
[ "$("$PICTURE_TOOL" pixel "$WORK/screen.png" 150 10)" = 0000FF ] || fail "the overlay hides the picture"
note "overlay: $shown pixels on the screen, none in the capture"

# Quick presses are one picture each.
xdotool key --delay 6 F12 F12 F12 F12 F12
wait_for 10 sh -c "[ \$(ls '$WORK'/pics/quillon | grep -c '^quillon-.*png$') = 5 ]" ||
  fail "5 presses of F12 wrote $(ls "$WORK"/pics/quillon | wc -l) pictures: $(cat "$WORK/quillon.out")"
wait_for 10 sh -c "[ \$(grep -c 'screenshot written to $WORK/pics/quillon/quillon-' '$WORK/quillon.out') = 5 ]" ||
  fail "F12 did not say so each time: $(cat "$WORK/quillon.out")"
picture=$(ls "$WORK"/pics/quillon/quillon-*.png | head -n1)
read -r w h _ cloud _ < <(stats "$picture")
[ "$w" = 640 ] && [ "$h" = 480 ] && [ "$cloud" -gt 100 ] || fail "screenshot ${w}x${h}, $cloud cloud pixels"
[ "$("$PICTURE_TOOL" notblue "$picture" 0 0 190 90)" = 0 ] || fail "F12's picture holds the overlay"
note "F12 five times: $(ls "$WORK"/pics/quillon/ | tr '\n' ' ')"
signal_quillon TERM
wait_quillon 20 >/dev/null

# Resized by the user to 600x200: the picture is 267x200 at x=166.
printf '100000\n' >"$WORK/hold.keys"
start_quillon "${DEVICE[@]}" QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys" QUILLON_WINDOWED=1
wait_for 10 form_window || fail "no window"
id=$(form_id)
xdotool windowsize "$id" 600 200
wait_for 10 sh -c "xwininfo -id $id | grep -q 'Width: 600'" || fail "the window was not resized"
sleep 1
screenshot "$WORK/resized.png" "$id"
expect_picture "$WORK/resized.png" 166 267
note "resized to 600x200: bars at the sides, the picture between them"
"$X_TOOL" close "$id" || fail "cannot send the close request"
expect_ended 0
[ -s "$WORK/quillon.out" ] && fail "said: $(cat "$WORK/quillon.out")"
check_log "$WORK/FPS.TXT"
note "closed: status 0, $(log_lines "$WORK/FPS.TXT") log lines"

# Full screen.
rm -f "$WORK/FPS.TXT"
start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_VSYNC=0 QUILLON_LOG_LEVEL=info "${DEVICE[@]}"

wait_for 30 form_window || fail "no window; output: $(cat "$WORK/quillon.out")"
expected=reference
[ "${E2E_DEVICE:-}" = hal ] && expected=hardware
# The window can show before the device's line is written.
wait_for 10 grep -q "^quillon: device: $expected" "$WORK/quillon.out" ||
  fail "not the $expected device: $(cat "$WORK/quillon.out")"
note "$(grep '^quillon: device:' "$WORK/quillon.out")"
wait_for 10 grep -q "^quillon: frame-rate log: $WORK/FPS.TXT (rewritten at each start)$" "$WORK/quillon.out" ||
  fail "info does not name the log: $(cat "$WORK/quillon.out")"
wait_logged
wait_for 10 form_geometry_is 1280x720+0+0 ||
  fail "the window does not cover the screen: $(form_geometry)"
id=$(form_id)
xprop -id "$id" _NET_WM_ICON | head -n1 | grep -q 'Icon (128 x 128)' || fail "the window has no icon"

xdotool mousemove 640 360
wait_for 10 sh -c "[ \"\$('$X_TOOL' cursor)\" = 0 ]" || fail "the cursor shows: $("$X_TOOL" cursor) pixels"
note "cursor hidden"

sleep 1
screenshot "$WORK/before.png"
expect_picture "$WORK/before.png" 160 960
[ "$cloud" -gt 2000 ] || fail "no cloud in the picture"
note "full screen: cloud $cloud pixels, bars at the sides"

# Another window takes the focus; the keyboard is read all the same.
xlogo -geometry 60x60+0+0 >/dev/null 2>&1 &
STARTED_PIDS+=($!)
wait_for 10 sh -c "xwininfo -root -tree | grep -q xlogo" || fail "xlogo did not start"
other=$(xwininfo -root -tree | awk '/xlogo/ {print $1; exit}')
xdotool windowfocus --sync "$other" || fail "cannot focus the other window"
focused=$(xdotool getwindowfocus)
[ "$((focused))" = "$((other))" ] || fail "focus is on $focused, not on $other"

# Up moves the camera away a step a frame: the cloud shrinks however many
# frames pass while the key is down (Down would pass through it and out).
frames_before=$(log_lines "$WORK/FPS.TXT")
xdotool keydown Up
wait_for 30 sh -c "[ \$(wc -l < '$WORK/FPS.TXT') -ge $((frames_before + 60)) ]"
xdotool keyup Up
sleep 0.5
screenshot "$WORK/after.png"
read -r _ _ _ cloud2 _ < <(stats "$WORK/after.png")
note "after holding Up: cloud $cloud2"
[ "$cloud2" -lt $((cloud * 2 / 3)) ] || fail "the cloud did not move away ($cloud -> $cloud2)"

xdotool windowfocus --sync "$id" key alt+Return
wait_for 10 sh -c "xwininfo -id $id | grep -q 'Width: 640'" || fail "Alt+Enter: no window ($(form_geometry))"
sleep 1
screenshot "$WORK/window.png" "$id"
read -r w h _ < <(stats "$WORK/window.png")
[ "$w" = 640 ] && [ "$h" = 480 ] || fail "window picture ${w}x${h}"
expect_picture "$WORK/window.png" 0 640
note "Alt+Enter: a 640x480 window at $(form_geometry)"
xdotool windowfocus --sync "$id" key alt+Return
wait_for 10 form_geometry_is 1280x720+0+0 ||
  fail "Alt+Enter again: not full screen ($(form_geometry))"
sleep 1
screenshot "$WORK/again.png"
expect_picture "$WORK/again.png" 160 960
note "Alt+Enter again: full screen, bars at the sides"

xdotool keydown Escape
expect_ended 0
xdotool keyup Escape
check_log "$WORK/FPS.TXT"
note "log: $(log_lines "$WORK/FPS.TXT") lines, last $(tail -n1 "$WORK/FPS.TXT" | tr -d '\r') frames per second"
echo PASS
