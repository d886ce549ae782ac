#!/usr/bin/env bash
# The program on a wide X server whose screen lacks 640x480, on the device
# E2E_DEVICE names (the default one when unset): it covers the screen with
# the frame scaled, its shape kept (bars at the sides), hides the cursor,
# has the program's icon, reacts to a key held with xdotool (also while
# another window has the focus), shows the picture in a window and back on
# Alt+Enter, ends on Escape with status 0 and leaves a log of one CR LF line
# per frame.
source "$(dirname "$0")/lib.sh"

start_xvfb 1280x720
start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_VSYNC=0 QUILLON_LOG_LEVEL=info "${DEVICE[@]}"

wait_for 30 form_window || fail "no window; output: $(cat "$WORK/quillon.out")"
expected=reference
[ "${E2E_DEVICE:-}" = hal ] && expected=hardware
grep -q "^quillon: device: $expected" "$WORK/quillon.out" ||
  fail "not the $expected device: $(cat "$WORK/quillon.out")"
note "$(grep '^quillon: device:' "$WORK/quillon.out")"
grep -q "^quillon: frame-rate log: $WORK/FPS.TXT (rewritten at each start)$" "$WORK/quillon.out" ||
  fail "info does not name the log: $(cat "$WORK/quillon.out")"
wait_logged
wait_for 10 form_geometry_is 1280x720+0+0 ||
  fail "the window does not cover the screen: $(form_geometry)"
id=$(form_id)
xprop -id "$id" _NET_WM_ICON | head -n1 | grep -q 'Icon (128 x 128)' || fail "the window has no icon"

if [ -n "${CURSOR_PROBE:-}" ]; then
  xdotool mousemove 640 360
  wait_for 10 sh -c "[ \"\$('$CURSOR_PROBE')\" = 0 ]" || fail "the cursor shows: $("$CURSOR_PROBE") pixels"
  note "cursor hidden"
fi

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
import -window "$id" -depth 8 "PNG24:$WORK/window.png"
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
