#!/usr/bin/env bash
# The program on an X server whose screen lacks 640x480: it covers the screen
# with the frame scaled, hides the cursor, reacts to a key held with xdotool
# (also while another window has the focus), ends on Escape with status 0 and
# leaves a log of one CR LF line per frame.
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_VSYNC=0 QUILLON_LOG_LEVEL=info "${DEVICE[@]}"

wait_for 30 form_window || fail "no window; output: $(cat "$WORK/quillon.out")"
expected=reference
[ "${E2E_DEVICE:-}" = hal ] && expected=hardware
grep -q "^quillon: device: $expected" "$WORK/quillon.out" ||
  fail "not the $expected device: $(cat "$WORK/quillon.out")"
note "$(grep '^quillon: device:' "$WORK/quillon.out")"
grep -q "^quillon: frame-rate log: $WORK/FPS.TXT (rewritten at each start)$" "$WORK/quillon.out" ||
  fail "info does not name the log: $(cat "$WORK/quillon.out")"
wait_for 30 test -s "$WORK/FPS.TXT" || fail "no frame logged"
wait_for 10 form_geometry_is 1024x768+0+0 ||
  fail "the window does not cover the screen: $(form_geometry)"
note "window $(form_geometry)"

if [ -n "${CURSOR_PROBE:-}" ]; then
  xdotool mousemove 512 384
  wait_for 10 sh -c "[ \"\$('$CURSOR_PROBE')\" = 0 ]" || fail "the cursor shows: $("$CURSOR_PROBE") pixels"
  note "cursor hidden"
fi

sleep 1
screenshot "$WORK/before.png"
read -r w h blue cloud cx cy < <(stats "$WORK/before.png")
note "before: ${w}x${h}, blue $blue, cloud $cloud, centre $cx,$cy"
[ "$w" = 1024 ] && [ "$h" = 768 ] || fail "screenshot size ${w}x${h}"
[ "$cloud" -gt 2000 ] || fail "no cloud in the picture"
[ "$blue" -gt $((cloud * 2)) ] || fail "the background is not blue"
[ "$cx" -gt 400 ] && [ "$cx" -lt 624 ] && [ "$cy" -gt 280 ] && [ "$cy" -lt 488 ] ||
  fail "the cloud is not at the centre ($cx,$cy)"

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
wait_for 30 sh -c "[ \$(wc -l < '$WORK/FPS.TXT') -ge $((frames_before + 20)) ]"
xdotool keyup Up
sleep 0.5
screenshot "$WORK/after.png"
read -r _ _ blue2 cloud2 _ _ < <(stats "$WORK/after.png")
note "after holding Up: blue $blue2, cloud $cloud2"
[ "$cloud2" -lt $((cloud * 2 / 3)) ] || fail "the cloud did not move away ($cloud -> $cloud2)"

xdotool keydown Escape
rc=$(wait_quillon 30)
xdotool keyup Escape
[ "$rc" = 0 ] || fail "status $rc; output: $(cat "$WORK/quillon.out")"
check_log "$WORK/FPS.TXT"
note "log: $(log_lines "$WORK/FPS.TXT") lines, last $(tail -n1 "$WORK/FPS.TXT" | tr -d '\r') frames per second"
echo PASS
