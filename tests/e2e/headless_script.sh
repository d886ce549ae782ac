#!/usr/bin/env bash
# Without a display the program runs invisibly: a key script steers it, the
# time of day is fixed, and the captured pictures show what it drew. A trace
# of its first frames replays through the replay tool to exactly the pictures
# it presented, whatever the trace's name holds.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

# run NAME SCRIPT [VAR=VALUE...]: a run in its own folder; the script's
# captures land there.
run() {
  local name=$1 dir="$WORK/$1"
  mkdir -p "$dir"
  printf '%b' "$2" >"$dir/keys"
  shift 2
  env QUILLON_DRIVE_C="$dir" QUILLON_KEYS="$dir/keys" QUILLON_TIME=45296.25 "$@" \
    timeout -k 5 120 "$QUILLON" >"$dir/out" 2>&1
  local rc=$?
  [ "$rc" = 0 ] || fail "$name: status $rc: $(cat "$dir/out")"
  check_log "$dir/FPS.TXT"
}

steer='5\ncapture start.png\n20 LEFT\ncapture turned.png\n20 UP\ncapture far.png\n1 ESCAPE\n'
run first "$steer"
run second "$steer"
for p in start turned far; do
  [ -f "$WORK/first/$p.png" ] || fail "no picture $p"
  "$PICTURE_TOOL" same "$WORK/first/$p.png" "$WORK/second/$p.png" || fail "$p differs between runs"
done
[ "$(log_lines "$WORK/first/FPS.TXT")" = 46 ] || fail "first log: $(log_lines "$WORK/first/FPS.TXT") lines for 46 frames"
[ "$(log_lines "$WORK/second/FPS.TXT")" = 46 ] || fail "second log: $(log_lines "$WORK/second/FPS.TXT") lines"
"$PICTURE_TOOL" same "$WORK/first/start.png" "$WORK/first/turned.png" 2>/dev/null &&
  fail "holding Left did not turn the cloud"

read -r w h blue cloud cx cy < <(stats "$WORK/first/start.png")
note "start: ${w}x${h} blue $blue cloud $cloud centre $cx,$cy"
[ "$w" = 640 ] && [ "$h" = 480 ] || fail "picture size ${w}x${h}"
[ "$cloud" -gt 2000 ] && [ "$blue" -gt "$cloud" ] || fail "no cloud over blue"

run down '30 DOWN\ncapture near.png\n1 ESCAPE\n'
run up '30 UP\ncapture far.png\n1 ESCAPE\n'
near=$(cloud_pixels "$WORK/down/near.png")
far=$(cloud_pixels "$WORK/up/far.png")
note "cloud after 30 frames of Down: $near pixels, of Up: $far pixels"
[ "$near" -gt $((far * 2)) ] || fail "Down did not show a larger cloud than Up"

# Escape held from the first poll: one frame, one line.
run escape '1 ESCAPE\n'
[ "$(log_lines "$WORK/escape/FPS.TXT")" = 1 ] || fail "Escape at once: $(log_lines "$WORK/escape/FPS.TXT") lines"

if [ -n "${REPLAY:-}" ]; then
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
fi
echo PASS
