#!/usr/bin/env bash
# A drive C the log cannot be made in (missing, a file, a folder nobody may
# write): one report line naming the path and the variable, status 1, no
# other output (the notices are off) and no crash.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

printf '5\n1 ESCAPE\n' >"$WORK/keys"
touch "$WORK/a-file"
# /proc takes no new files, not even from root.
for drive in "$WORK/no-such-folder" "$WORK/a-file" /proc; do
  env QUILLON_DRIVE_C="$drive" QUILLON_KEYS="$WORK/keys" QUILLON_LOG_LEVEL=error \
    timeout -k 5 60 "$QUILLON" >"$WORK/out" 2>&1
  rc=$?
  note "$drive: status $rc: $(tr '\n' ' ' <"$WORK/out")"
  [ "$rc" = 1 ] || fail "$drive: status $rc, expected 1"
  [ "$(wc -l <"$WORK/out")" = 1 ] || fail "$drive: not one line: $(cat "$WORK/out")"
  grep -q "^quillon: ([0-9]*) .*(drive C is QUILLON_DRIVE_C=$drive)\$" "$WORK/out" ||
    fail "$drive: no report line naming the drive: $(cat "$WORK/out")"
done
echo PASS
