#!/usr/bin/env bash
# quillon.exe steered by a key script at a fixed time of day captures the
# cloud at the start, after turning and after moving the eye; each capture
# matches the Linux program's capture of the same script and time on its
# reference device in at least 99% of the pixels not of the clear blue,
# within 4 levels a channel (the two devices round differently). A UTF-8 name
# is the picture's; captures not written (the log, no folder) end it with 4.
# Before it, the shell's entry as the Linux program has it: an option's empty
# value is refused (status 2), and --help that cannot be written fails
# (status 1).
source "$(dirname "$0")/lib.sh"

for row in "2|--drive-c=|quillon: --drive-c= has an empty value: it takes DIR;" \
  "1|--help|quillon: cannot write to standard output"; do
  IFS='|' read -r want option said <<<"$row"
  status=0
  QUILLON_DRIVE_C="$(windows_path "$WORK")" "$QUILLON" "$option" >/dev/full 2>"$WORK/err" || status=$?
  [ "$status" = "$want" ] && grep -q "^$said" "$WORK/err" ||
    fail "$option: status $status, not $want: $(cat "$WORK/err")"
done

keys='capture start.png\n40 LEFT\ncapture turned.png\n40 UP\ncapture moved.png\n1 ESCAPE\n'
QUILLON=$QUILLON_LINUX run_headless linux "$keys" SDL_VIDEODRIVER=offscreen QUILLON_DEVICE=ref \
  QUILLON_TIME=45296 QUILLON_LOG_LEVEL=error
mkdir -p "$WORK/windows"
printf '%b' "capture caf\xc3\xa9.png\ncapture C:\\\\FPS.TXT\ncapture no\\\\a.png\n$keys" >"$WORK/windows/run.keys"
start_quillon QUILLON_KEYS="$(windows_path "$WORK/windows/run.keys")" QUILLON_TIME=45296
expect_ended 4 120
check_log "$DRIVE_C/FPS.TXT"
[ "$(grep -c "cannot write the picture" "$WORK/quillon.out")" = 2 ] || fail "$(cat "$WORK/quillon.out")"
"$PICTURE_TOOL" same "$WORK/windows/start.png" "$WORK/windows/café.png" ||
  fail "no café.png like start.png: $(ls "$WORK/windows")"
for shot in start turned moved; do
  [ -f "$WORK/windows/$shot.png" ] || fail "no capture $shot.png; output: $(cat "$WORK/quillon.out")"
  read -r foreground close percent < <("$PICTURE_TOOL" match "$WORK/linux/$shot.png" "$WORK/windows/$shot.png")
  note "$shot: $close of $foreground foreground pixels within 4 levels ($percent%)"
  awk -v p="${percent:-0}" 'BEGIN {exit !(p >= 99)}' || fail "$shot.png differs from Linux"
done
echo PASS
