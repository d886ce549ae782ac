#!/usr/bin/env bash
# quillon.exe steered by a key script at a fixed time of day captures the
# cloud at the start, after turning and after moving the eye; each capture
# matches the Linux program's capture of the same script and time on its
# reference device in at least 99% of the pixels not of the clear blue,
# within 4 levels a channel (the two devices round differently).
source "$(dirname "$0")/lib.sh"

shots=(start turned moved)
mkdir -p "$WORK/linux" "$WORK/windows"
for dir in linux windows; do
  printf '%s\n' "capture start.png" "40 LEFT" "capture turned.png" "40 UP" \
    "capture moved.png" "1 ESCAPE" >"$WORK/$dir/run.keys"
done
env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen QUILLON_DEVICE=ref \
  QUILLON_KEYS="$WORK/linux/run.keys" QUILLON_TIME=45296 QUILLON_DRIVE_C="$WORK/linux" \
  QUILLON_LOG_LEVEL=error "$QUILLON_LINUX" || fail "the Linux program failed"
start_quillon QUILLON_KEYS="$(windows_path "$WORK/windows/run.keys")" QUILLON_TIME=45296
rc=$(wait_quillon 120)
[ "$rc" = 0 ] || fail "status $rc; output: $(cat "$WORK/quillon.out")"
for shot in "${shots[@]}"; do
  [ -f "$WORK/windows/$shot.png" ] || fail "no capture $shot.png; output: $(cat "$WORK/quillon.out")"
  read -r foreground close percent < <("$PICTURE_TOOL" match "$WORK/linux/$shot.png" "$WORK/windows/$shot.png")
  note "$shot: $close of $foreground foreground pixels within 4 levels ($percent%)"
  awk -v p="${percent:-0}" 'BEGIN {exit !(p >= 99)}' || fail "$shot.png differs from Linux"
done
echo PASS
