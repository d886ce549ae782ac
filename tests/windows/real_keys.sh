#!/usr/bin/env bash
# quillon.exe full screen under Wine, steered by real keys: Up held moves the
# eye away (the cloud shrinks on the screen), Escape ends it with status 0,
# and C:\FPS.TXT in the prefix has a line per frame, each ending CR LF.
source "$(dirname "$0")/lib.sh"

rm -f "$DRIVE_C/FPS.TXT"
start_quillon
# The cloud over the clear blue (not the form's window before the device).
shown() { screenshot "$WORK/$1.png" && stats "$WORK/$1.png" | awk '{exit !($3 > 100000 && $4 > 1000)}'; }
# The program polls the keyboard's state once a frame: a key is held a while.
hold() { xdotool keydown "$1" && sleep "$2" && xdotool keyup "$1"; }
wait_for 60 shown start || fail "no cloud on the screen; output: $(cat "$WORK/quillon.out")"
before=$(cloud_pixels "$WORK/start.png")
hold Up 1.5
screenshot "$WORK/away.png"
after=$(cloud_pixels "$WORK/away.png")
note "cloud pixels: $before at the start, $after after Up"
[ "$after" -lt $((before * 2 / 3)) ] || fail "the cloud did not shrink: $before then $after"
hold Escape 0.3
expect_ended 0
check_log "$DRIVE_C/FPS.TXT"
note "FPS.TXT: $(log_lines "$DRIVE_C/FPS.TXT") lines, the last $(tail -n1 "$DRIVE_C/FPS.TXT" | tr -d '\r')"
echo PASS
