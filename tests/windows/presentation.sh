#!/usr/bin/env bash
# What quillon.exe shows beyond the program, over the system's Direct3D 8
# and over the reference device shown through GDI:
# - the overlay (QUILLON_HUD), its texts too, is on the screen, not in the
#   key script's capture (full screen, presenting at once: QUILLON_VSYNC=0);
# - F12 pressed quickly three times writes three PNGs of the picture as
#   shown, without the overlay, into the user's Pictures\Quillon, each said;
# - QUILLON_WINDOWED shows the full-screen picture in a window smaller than
#   the screen, with its shape kept; a close request ends it with status 0;
# - Alt+Enter pressed quickly twice switches to the window and back, and the
#   frame after it is the one a run without the presses draws, byte for byte
#   (the device's reset loses its buffers and states: the host puts them
#   back); once more, and the picture is in a window smaller than the screen;
#   on the reference device, a window and the screen again.
source "$(dirname "$0")/lib.sh"

# The prefix links the user's Pictures to the Unix home: a folder of its own
# here keeps the pictures inside the prefix.
pictures=$DRIVE_C/users/$(id -un)/Pictures
[ -L "$pictures" ] && rm "$pictures"
rm -rf "$pictures/Quillon" && mkdir -p "$pictures"

printf 'capture cap.png\n100000\n' >"$WORK/hold.keys"
printf '100000\n' >"$WORK/long.keys"
# The form's window as the device placed it: inside the screen, 4:3.
in_window() {
  IFS='x+' read -r w h x y <<<"$(form_geometry)"
  [ "$w" -lt 640 ] && [ "$h" -lt 480 ] && [ $((w * 3 - h * 4)) -ge -4 ] && [ $((w * 3 - h * 4)) -le 4 ]
}
taken() { [ "$(ls "$pictures/Quillon" | grep -c '^quillon-.*\.png$')" = "$1" ]; }
# Each device: the system's Direct3D 8 (presenting at once), and the
# reference device through GDI with the system's d3d8.dll switched off (its
# picture smoothed where it is scaled).
for device in system ref; do
  with=(QUILLON_VSYNC=0)
  [ $device = ref ] && with=(QUILLON_DEVICE=ref QUILLON_SCALE=linear "WINEDLLOVERRIDES=mscoree,mshtml=;d3d8=d")
  rm -rf "$pictures/Quillon"
  start_quillon "${with[@]}" QUILLON_HUD=1 QUILLON_KEYS="$(windows_path "$WORK/hold.keys")"
  wait_for 60 test -s "$WORK/cap.png" || fail "$device: no capture: $(cat "$WORK/quillon.out")"
  sleep 1
  screenshot "$WORK/screen.png"
  # The overlay's corner: all blue in the capture, not on the screen.
  [ "$("$PICTURE_TOOL" notblue "$WORK/cap.png" 0 0 190 90)" = 0 ] || fail "$device: the capture holds more than blue"
  shown=$("$PICTURE_TOOL" notblue "$WORK/screen.png" 0 0 190 90)
  # Its texts are white, a colour the cloud over blue has nowhere.
  text=$(convert "$WORK/screen.png" -crop 190x90+0+0 +repage -fill black +opaque '#FFFFFF' \
    -fill white -opaque '#FFFFFF' -format '%[fx:int(mean*w*h+0.5)]' info:)
  [ "$shown" -gt 1000 ] && [ "$text" -gt 100 ] || fail "$device: no overlay on the screen ($shown pixels, $text of text)"
  note "$device: overlay: $shown pixels ($text of text) on the screen, none in the capture"

  xdotool key --delay 6 F12 F12 F12
  wait_for 20 taken 3 || fail "$device: 3 presses of F12 wrote $(ls "$pictures/Quillon" 2>&1): $(cat "$WORK/quillon.out")"
  said=$(grep -c 'screenshot written to C:\\users\\.*\\Pictures\\Quillon\\quillon-' "$WORK/quillon.out")
  [ "$said" = 3 ] || fail "$device: F12 said so $said times: $(cat "$WORK/quillon.out")"
  for picture in "$pictures"/Quillon/*.png; do
    read -r w h _ cloud _ < <(stats "$picture")
    [ "$w" = 640 ] && [ "$h" = 480 ] && [ "$cloud" -gt 100 ] || fail "$device: screenshot ${w}x${h}, $cloud cloud pixels"
    [ "$("$PICTURE_TOOL" notblue "$picture" 0 0 190 90)" = 0 ] || fail "$device: F12's picture holds the overlay"
  done
  note "$device: F12 three times: $(ls "$pictures/Quillon" | tr '\n' ' ')"
  xdotool key alt+F4
  expect_ended 0

  start_quillon "${with[@]}" QUILLON_WINDOWED=1 QUILLON_KEYS="$(windows_path "$WORK/long.keys")"
  wait_for 60 in_window || fail "$device: no window inside the screen: $(form_geometry); $(cat "$WORK/quillon.out")"
  sleep 1
  screenshot "$WORK/window.png" "$(form_id)"
  expect_cloud "$WORK/window.png" 100
  note "$device: windowed: $(form_geometry) on the 640x480 screen, $cloud cloud pixels in it"
  xdotool key alt+F4
  expect_ended 0
done

# Alt+Enter on the system's device: twice, and the frame is the one drawn
# without the presses; once more, a window.
printf '400\ncapture plain.png\n1 ESCAPE\n' >"$WORK/plain.keys"
start_quillon QUILLON_TIME=45296 QUILLON_KEYS="$(windows_path "$WORK/plain.keys")"
expect_ended 0 120
printf '400\ncapture toggled.png\n100000\n' >"$WORK/toggled.keys"
start_quillon QUILLON_TIME=45296 QUILLON_LOG_LEVEL=info QUILLON_KEYS="$(windows_path "$WORK/toggled.keys")"
wait_for 60 form_geometry_is 640x480+0+0 || fail "not full screen: $(cat "$WORK/quillon.out")"
xdotool key --delay 6 alt+Return alt+Return
wait_for 120 test -s "$WORK/toggled.png" || fail "no capture: $(cat "$WORK/quillon.out")"
switches=$(grep -c "Alt+Enter: " "$WORK/quillon.out")
grep -A2 "Alt+Enter: in a window" "$WORK/quillon.out" | grep -q "Alt+Enter: full screen" &&
  [ "$switches" = 2 ] && grep -A1 "Alt+Enter: full screen" "$WORK/quillon.out" | grep -q toggled.png ||
  fail "two presses, then the capture: $(cat "$WORK/quillon.out")"
"$PICTURE_TOOL" same "$WORK/plain.png" "$WORK/toggled.png" ||
  fail "the frame after two switches is not the frame drawn without them"
xdotool key alt+Return
wait_for 20 in_window || fail "Alt+Enter: no window inside the screen: $(form_geometry)"
sleep 1
screenshot "$WORK/switched.png" "$(form_id)"
expect_cloud "$WORK/switched.png" 100
note "Alt+Enter: twice, the same frame as without; once more, a window of $(form_geometry)"
xdotool key alt+F4
expect_ended 0

# On the reference device a press puts the picture in a window, the next one
# over the screen again.
start_quillon QUILLON_DEVICE=ref QUILLON_LOG_LEVEL=info "WINEDLLOVERRIDES=mscoree,mshtml=;d3d8=d" \
  QUILLON_KEYS="$(windows_path "$WORK/long.keys")"
wait_for 60 form_geometry_is 640x480+0+0 || fail "ref: not over the screen: $(cat "$WORK/quillon.out")"
xdotool key alt+Return
wait_for 20 in_window || fail "ref: Alt+Enter: no window inside the screen: $(form_geometry)"
sleep 1
screenshot "$WORK/switched.png" "$(form_id)"
expect_cloud "$WORK/switched.png" 100
xdotool key alt+Return
wait_for 20 form_geometry_is 640x480+0+0 || fail "ref: Alt+Enter again: $(form_geometry)"
[ "$(grep -c "Alt+Enter: " "$WORK/quillon.out")" = 2 ] || fail "ref: two presses: $(cat "$WORK/quillon.out")"
note "ref: Alt+Enter: a window of $(form_geometry), then the screen again"
xdotool key alt+F4
expect_ended 0
echo PASS
