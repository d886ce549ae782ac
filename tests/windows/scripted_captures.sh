#!/usr/bin/env bash
# quillon.exe steered by a key script at a fixed time of day captures the
# cloud at the start, after turning and after moving the eye; each capture
# matches the Linux program's capture of the same script and time on its
# reference device in at least 99% of the pixels not of the clear blue,
# within 4 levels a channel (the two devices round differently). A UTF-8 name
# is the picture's and the trace's; captures not written (the logs, no folder)
# end it with 4.
# Before it, the shell's entry as the Linux program has it: an option's empty
# value is refused (status 2), one in UTF-8 is read as such, and --help that
# cannot be written fails (status 1); each setting is refused or taken (the
# table below); 20 short runs in a row under Wine's default settings end with
# status 0 (ended while Wine's Direct3D thread still ran, one in seven and
# later one in thirty died as the process ended); and
# without a console the lines are in the log file.
source "$(dirname "$0")/lib.sh"

for row in "2|--drive-c=|quillon: --drive-c= has an empty value: it takes DIR;" \
  "1|--help|quillon: cannot write to standard output"; do
  IFS='|' read -r want option said <<<"$row"
  status=0
  QUILLON_DRIVE_C="$(windows_path "$WORK")" "$QUILLON" "$option" >/dev/full 2>"$WORK/err" || status=$?
  [ "$status" = "$want" ] && grep -q "^$said" "$WORK/err" ||
    fail "$option: status $status, not $want: $(cat "$WORK/err")"
done
# The arguments are the system's wide ones in UTF-8, not main's ANSI ones.
said=$(LC_ALL=C.UTF-8 "$QUILLON" --log-level=ïnfo 2>&1)
grep -q "^quillon: QUILLON_LOG_LEVEL (--log-level) '.xc3.xafnfo' is refused" <<<"$said" ||
  fail "a UTF-8 argument: $said"

# Every setting, as a variable and as its option (- none): a bad value gives
# status 2 and one line, its refusal; so does a good scaling choice where
# this host does not scale (the system's device, not QUILLON_DEVICE=ref).
# The accepted values run the scripts (keys, time, log level; the others in
# presentation.sh and reference_device.sh).
while read -r variable option bad; do
  said="quillon: $variable"
  ways=("$variable=$bad")
  [ "$option" = - ] || { said="$said ($option)" && ways+=("$option=$bad"); }
  said="$said '$bad' is refused"
  for way in "${ways[@]}"; do
    status=0
    # One that runs on instead would wait for keys: the time limit ends it.
    case $way in
      -*) timeout -k 5 20 "$QUILLON" "$way" >"$WORK/err" 2>&1 || status=$? ;;
      *) env "$way" timeout -k 5 20 "$QUILLON" >"$WORK/err" 2>&1 || status=$? ;;
    esac
    [ "$status" = 2 ] && [ "$(wc -l <"$WORK/err")" = 1 ] && grep -q "^$said" "$WORK/err" ||
      fail "$way: status $status, not 2 with \"$said\": $(cat "$WORK/err")"
  done
done <<'END'
QUILLON_LOG_LEVEL --log-level loud
QUILLON_TIME - noon
QUILLON_DEVICE --device bogus
QUILLON_WINDOWED --windowed 2
QUILLON_HUD --hud clock
QUILLON_VSYNC --vsync 2
QUILLON_SCALE --scale cubic
QUILLON_SCALE --scale linear
QUILLON_THREADS --threads 0
QUILLON_TRACE_FRAMES - 0
QUILLON_KERNELS - banana
END

printf '3 UP\n1 ESCAPE\n' >"$WORK/short.keys"
failed=0
for run in $(seq 20); do
  QUILLON_KEYS="$(windows_path "$WORK/short.keys")" timeout -k 5 60 "$QUILLON" >"$WORK/short.out" 2>&1 ||
    { status=$? failed=$((failed + 1)); note "run $run: status $status: $(tail -n 2 "$WORK/short.out")"; }
done
[ "$failed" = 0 ] || fail "$failed of 20 short runs did not end with status 0"
# Started as from the desktop (start gives a windowed program no standard
# handles, as Explorer does): nothing reaches a console, and the lines are in
# the log file in the user's local application data.
log=$DRIVE_C/users/$(id -un)/AppData/Local/Quillon/quillon.log
rm -f "$log"
QUILLON_KEYS="$(windows_path "$WORK/short.keys")" QUILLON_LOG_LEVEL=info \
  timeout -k 5 60 wine start /wait /unix "$QUILLON_EXE" </dev/null >"$WORK/start.out" 2>&1 ||
  fail "no console: status $?: $(cat "$WORK/start.out")"
[ ! -s "$WORK/start.out" ] && grep -q "also go to C:.*Quillon.quillon.log" "$log" &&
  grep -q "ended with status 0" "$log" || fail "no console: the log file has: $(cat "$log")"

keys='capture start.png\n40 LEFT\ncapture turned.png\n40 UP\ncapture moved.png\n1 ESCAPE\n'
QUILLON=$QUILLON_LINUX run_headless linux "$keys" SDL_VIDEODRIVER=offscreen QUILLON_DEVICE=ref \
  QUILLON_TIME=45296 QUILLON_LOG_LEVEL=error
mkdir -p "$WORK/windows"
host_log='C:\\users\\'$(id -un)'\\AppData\\Local\\Quillon\\quillon.log'
printf '%b' "capture caf\xc3\xa9.png\ncapture C:\\\\FPS.TXT\ncapture no\\\\a.png\ncapture $host_log\n$keys" \
  >"$WORK/windows/run.keys"
start_quillon QUILLON_KEYS="$(windows_path "$WORK/windows/run.keys")" QUILLON_TIME=45296 \
  QUILLON_TRACE="$(windows_path "$WORK/windows/tracé/t.scene")"
expect_ended 4 120
check_log "$DRIVE_C/FPS.TXT"
[ -s "$WORK/windows/tracé/t.scene" ] || fail "no trace under its UTF-8 name: $(ls "$WORK/windows")"
[ "$(grep -c "cannot write the picture" "$WORK/quillon.out")" = 3 ] &&
  grep -q "quillon.log: the program's own log is written there" "$WORK/quillon.out" ||
  fail "$(cat "$WORK/quillon.out")"
"$PICTURE_TOOL" same "$WORK/windows/start.png" "$WORK/windows/café.png" ||
  fail "no café.png like start.png: $(ls "$WORK/windows")"
for shot in start turned moved; do
  [ -f "$WORK/windows/$shot.png" ] || fail "no capture $shot.png; output: $(cat "$WORK/quillon.out")"
  read -r foreground close percent < <("$PICTURE_TOOL" match "$WORK/linux/$shot.png" "$WORK/windows/$shot.png")
  note "$shot: $close of $foreground foreground pixels within 4 levels ($percent%)"
  awk -v p="${percent:-0}" 'BEGIN {exit !(p >= 99)}' || fail "$shot.png differs from Linux"
done
echo PASS
