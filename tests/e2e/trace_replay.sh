#!/usr/bin/env bash
# A trace of the program's first frames replays through the replay tool to
# exactly the pictures the program presented, whatever its name holds.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY
: "${REPLAY:?the replay tool}"

printf '1\ncapture f1.png\n1 LEFT\ncapture f2.png\n1 DOWN\ncapture f3.png\n1 ESCAPE\n' >"$WORK/keys"
env QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/keys" QUILLON_TRACE="$WORK/my trace/cloud #1.scene" \
  QUILLON_TRACE_FRAMES=3 timeout -k 5 120 "$QUILLON" >"$WORK/out" 2>&1 ||
  fail "status $?: $(cat "$WORK/out")"
for n in 1 2 3; do
  scene="$WORK/my trace/cloud #1.scene"
  [ "$n" = 1 ] || scene="$WORK/my trace/cloud #1-$n.scene"
  [ -f "$scene" ] || fail "no scene for frame $n"
  timeout 120 "$REPLAY" "$scene" "$WORK/replay$n.png" || fail "replay of frame $n failed"
  "$PICTURE_TOOL" same "$WORK/f$n.png" "$WORK/replay$n.png" || fail "frame $n replays differently"
  note "frame $n: $(grep -c . "$scene") lines, replayed exactly"
done
[ -f "$WORK/my trace/cloud #1-4.scene" ] && fail "more frames traced than asked for"
echo PASS
