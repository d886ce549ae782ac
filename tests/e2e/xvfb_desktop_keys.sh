#!/usr/bin/env bash
# What a desktop user sees of the full-screen program, on the device
# E2E_DEVICE names (the default one when unset): the window has the
# program's icon; Alt+Enter shows it in a
# window and back on the screen, the picture keeping its shape; a close
# request (WM_DELETE_WINDOW, as a window manager sends for the close button
# or Alt+F4) ends it through its own shutdown: status 0, the log whole,
# nothing said.
source "$(dirname "$0")/lib.sh"

# A wide screen: the 4:3 picture has bars at its sides in full screen.
start_xvfb 1280x720
start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_VSYNC=0 "${DEVICE[@]}"
wait_for 30 form_geometry_is 1280x720+0+0 ||
  fail "not full screen: $(form_geometry); output: $(cat "$WORK/quillon.out")"
id=$(xdotool search --name '^Form1$' | head -n1)
xprop -id "$id" _NET_WM_ICON | head -n1 | grep -q 'Icon (128 x 128)' || fail "the window has no icon"

# expect_picture FILE X0 WIDTH: the picture fills columns X0..X0+WIDTH-1 of
# the file's height, blue at its corners, black (or nothing) beside it.
expect_picture() {
  local file=$1 x0=$2 w=$3 h
  read -r _ h _ cloud _ < <(stats "$file")
  [ "$cloud" -gt 100 ] || fail "$file: no cloud"
  for at in "$((x0 + 2)) 2 0000FF" "$((x0 + w - 3)) $((h - 3)) 0000FF" \
            "$((x0 - 3)) $((h / 2)) 000000" "$((x0 + w + 2)) $((h / 2)) 000000"; do
    set -- $at
    [ "$1" -lt 0 ] && continue
    got=$("$PICTURE_TOOL" pixel "$file" "$1" "$2") || continue  # beside the window
    [ "$got" = "$3" ] || fail "$file: pixel $1,$2 is $got, not $3"
  done
}

sleep 1
screenshot "$WORK/full.png"
expect_picture "$WORK/full.png" 160 960
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

"$CLOSE_REQUEST" "$id" || fail "cannot send the close request"
rc=$(wait_quillon 30)
[ "$rc" = 0 ] || fail "status $rc after a close request; output: $(cat "$WORK/quillon.out")"
[ -s "$WORK/quillon.out" ] && fail "said: $(cat "$WORK/quillon.out")"
check_log "$WORK/FPS.TXT"
note "closed: status 0, $(log_lines "$WORK/FPS.TXT") log lines"
echo PASS
