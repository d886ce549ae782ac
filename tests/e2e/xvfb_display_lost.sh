#!/usr/bin/env bash
# The X server ends while the program draws: one clear line instead of
# Xlib's, status 1, and the log keeps whole lines only.
source "$(dirname "$0")/lib.sh"

start_xvfb 1024x768
printf '%s\n' 100000 >"$WORK/hold.keys"
start_quillon QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys" QUILLON_VSYNC=0
wait_for 30 form_window || fail "no window; output: $(cat "$WORK/quillon.out")"
wait_for 30 test -s "$WORK/FPS.TXT" || fail "no frame logged"
kill "${STARTED_PIDS[0]}"
rc=$(wait_quillon 30)
out=$(cat "$WORK/quillon.out")
note "status $rc: $(tr '\n' ' ' <"$WORK/quillon.out")"
grep -q 'XIO' "$WORK/quillon.out" && fail "Xlib's raw message: $out"
[ "$(grep -c 'connection to the display .* was lost' "$WORK/quillon.out")" = 1 ] ||
  fail "not one clear line: $out"
[ "$rc" = 1 ] || fail "status $rc, expected 1"
check_log "$WORK/FPS.TXT"
echo PASS
