#!/usr/bin/env bash
# A log that cannot be created: the error report shows its message box, the
# test closes it, and the program ends with status 1. On an X server without
# usable fonts SDL cannot show a box: the message goes to standard error and
# the program goes on at once.
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
start_quillon QUILLON_DRIVE_C="$WORK/no-such-folder" QUILLON_VSYNC=0
wait_for 30 has_message_box || fail "no message box; output: $(cat "$WORK/quillon.out")"
box=$(message_box_id)
note "message box $box: $(xwininfo -id "$box" | grep -E 'Width|Height' | tr -s ' \n' ' ')"
screenshot "$WORK/box.png"
sleep 1
quillon_ended && fail "the program did not wait for the box"
xdotool key --window "$box" Return
expect_ended 1
grep -q '^quillon: (76) ' "$WORK/quillon.out" || fail "no report line: $(cat "$WORK/quillon.out")"
has_message_box && fail "the box is still there"

# The same on a server whose only fonts are its built-ins: no box, the line
# on standard error, and the program does not wait.
kill "${STARTED_PIDS[0]}"
start_xvfb 1024x768 nofonts
start_quillon QUILLON_DRIVE_C="$WORK/no-such-folder" QUILLON_VSYNC=0
expect_ended 1
grep -q '^quillon: (76) ' "$WORK/quillon.out" || fail "no report line: $(cat "$WORK/quillon.out")"
note "without fonts: $(tr '\n' ' ' <"$WORK/quillon.out")"
echo PASS
