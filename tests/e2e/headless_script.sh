#!/usr/bin/env bash
# Without a display the program runs invisibly: a key script steers it, the
# time of day is fixed, and the captured pictures show what it drew. A trace
# of its first frames replays through the replay tool to exactly the pictures
# it presented, whatever the trace's name holds.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

# run NAME SCRIPT [VAR=VALUE...]: a run at a fixed time of day in its own
# folder; the script's captures land there.
run() { run_headless "$1" "$2" QUILLON_TIME=45296.25 "${@:3}"; }

steer='5\ncapture start.png\n20 LEFT\ncapture turned.png\n20 UP\ncapture far.png\n1 ESCAPE\n'
run first "$steer"
run second "$steer"
for p in start turned far; do
  [ -f "$WORK/first/$p.png" ] || fail "no picture $p"
  "$PICTURE_TOOL" same "$WORK/first/$p.png" "$WORK/second/$p.png" || fail "$p differs between runs"
done
expect_log_lines "$WORK/first/FPS.TXT" 46
expect_log_lines "$WORK/second/FPS.TXT" 46
"$PICTURE_TOOL" same "$WORK/first/start.png" "$WORK/first/turned.png" 2>/dev/null &&
  fail "holding Left did not turn the cloud"

expect_cloud "$WORK/first/start.png" 2000
note "start: ${w}x${h} blue $blue cloud $cloud centre $cx,$cy"
[ "$w" = 640 ] && [ "$h" = 480 ] || fail "picture size ${w}x${h}"
bytes=$(stat -c %s "$WORK/first/start.png") && note "start.png: $bytes bytes"
[ "$bytes" -lt 150000 ] || fail "start.png is not compressed ($bytes bytes)"

# Captures that cannot be written (the program's own log, a folder that is
# not there, a frame after the end) are said, leave the log whole, and end
# the run with status 4.
dir="$WORK/refused"
mkdir -p "$dir" &&
  printf '1\ncapture FPS.TXT\ncapture ./FPS.TXT\ncapture no/a.png\n1 ESCAPE\n5\ncapture late.png\n' >"$dir/keys"
QUILLON_DRIVE_C="$dir" QUILLON_KEYS="$dir/keys" timeout -k 5 120 "$QUILLON" >"$dir/out" 2>&1
rc=$?
[ "$rc" = 4 ] && [ "$(grep -c "cannot write the picture" "$dir/out")" = 4 ] &&
  grep -q "late.png: the run ended before that frame" "$dir/out" &&
  grep -q "FPS.TXT: the program's own log is written there" "$dir/out" ||
  fail "status $rc after captures not written: $(cat "$dir/out")"
check_log "$dir/FPS.TXT"
expect_log_lines "$dir/FPS.TXT" 2

run down '30 DOWN\ncapture near.png\n1 ESCAPE\n'
run up '30 UP\ncapture far.png\n1 ESCAPE\n'
near=$(cloud_pixels "$WORK/down/near.png")
far=$(cloud_pixels "$WORK/up/far.png")
note "cloud after 30 frames of Down: $near pixels, of Up: $far pixels"
[ "$near" -gt $((far * 2)) ] || fail "Down did not show a larger cloud than Up"

# Escape held from the first poll: one frame, one line.
run escape '1 ESCAPE\n'
expect_log_lines "$WORK/escape/FPS.TXT" 1

trace="$WORK/trace/my trace/cloud #1"
run trace '1\ncapture f1.png\n1 LEFT\ncapture f2.png\n1 DOWN\ncapture f3.png\n1 ESCAPE\n' \
  QUILLON_TRACE="$trace.scene" QUILLON_TRACE_FRAMES=3
for n in 1 2 3; do
  scene="$trace.scene"
  [ "$n" = 1 ] || scene="$trace-$n.scene"
  [ -f "$scene" ] || fail "no scene for frame $n"
  timeout 120 "$REPLAY" "$scene" "$WORK/replay$n.png" || fail "replay of frame $n failed"
  "$PICTURE_TOOL" same "$WORK/trace/f$n.png" "$WORK/replay$n.png" || fail "frame $n replays differently"
  note "frame $n: $(grep -c . "$scene") lines, replayed exactly"
done
[ -f "$trace-4.scene" ] && fail "more frames traced than asked for"
echo PASS
