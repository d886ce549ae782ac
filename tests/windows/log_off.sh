#!/usr/bin/env bash
# The user logs off while quillon.exe runs full screen: the program ends
# through its own shutdown as on Escape, status 0, its log whole, however the
# system's messages reach it.
#   wineboot: the query, then the session's end once every window answered;
#   end_now:  the session's end alone, as when the query came earlier; the
#             system ends the process as soon as the message returns.
source "$(dirname "$0")/lib.sh"

end_by_wineboot() { wineboot --end-session </dev/null >"$WORK/end.out" 2>&1; }
end_by_end_now() { wine "$END_SESSION_NOW" </dev/null >"$WORK/end.out" 2>&1; }

for way in wineboot end_now; do
  rm -f "$DRIVE_C/FPS.TXT"
  start_quillon QUILLON_LOG_LEVEL=info
  wait_for 60 test -s "$DRIVE_C/FPS.TXT" || fail "$way: no frame logged; output: $(cat "$WORK/quillon.out")"
  "end_by_$way" || fail "$way: $(cat "$WORK/end.out")"
  expect_ended 0
  grep -q "ended with status 0" "$WORK/quillon.out" ||
    fail "$way: the program did not end through its own shutdown; output: $(cat "$WORK/quillon.out")"
  grep -q "the session is ending" "$WORK/quillon.out" ||
    fail "$way: the session's end was not said; output: $(cat "$WORK/quillon.out")"
  check_log "$DRIVE_C/FPS.TXT"
  note "$way: FPS.TXT: $(log_lines "$DRIVE_C/FPS.TXT") lines"
done
echo PASS
