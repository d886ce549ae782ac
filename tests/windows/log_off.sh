#!/usr/bin/env bash
# The user logs off while quillon.exe runs full screen: the system asks every
# window whether the session may end, and the program ends through its own
# shutdown as on Escape, status 0, its log whole.
source "$(dirname "$0")/lib.sh"

rm -f "$DRIVE_C/FPS.TXT"
start_quillon QUILLON_LOG_LEVEL=info
wait_for 60 test -s "$DRIVE_C/FPS.TXT" || fail "no frame logged; output: $(cat "$WORK/quillon.out")"
wineboot --end-session </dev/null >"$WORK/wineboot.out" 2>&1 || fail "wineboot: $(cat "$WORK/wineboot.out")"
expect_ended 0
grep -q "the session is ending" "$WORK/quillon.out" && grep -q "ended with status 0" "$WORK/quillon.out" ||
  fail "the program did not end through its own shutdown; output: $(cat "$WORK/quillon.out")"
check_log "$DRIVE_C/FPS.TXT"
note "FPS.TXT: $(log_lines "$DRIVE_C/FPS.TXT") lines"
echo PASS
