#!/usr/bin/env bash
# With QUILLON_DEVICE=ref quillon.exe draws on the project's reference device
# and shows it through GDI, needing no Direct3D 8 of the system (its
# d3d8.dll is switched off here). Steered by a key script at a fixed time of
# day (a scaling choice taken, presenting at once), its captures are the
# Linux reference device's, byte for byte, and its trace of device calls
# replays with the Linux quillon-replay to the pictures the Linux program's
# own trace of the same script gives. A trace that cannot be written ends
# the run with 3 (full screen paced to the refresh there, as by default, and
# smoothed where scaled).
source "$(dirname "$0")/lib.sh"
REPLAY=$linux_build/main/quillon-replay

keys='capture start.png\n40 LEFT\ncapture turned.png\n40 UP\ncapture moved.png\n1 ESCAPE\n'
QUILLON=$QUILLON_LINUX run_headless linux "$keys" SDL_VIDEODRIVER=offscreen QUILLON_DEVICE=ref \
  QUILLON_TIME=45296 QUILLON_LOG_LEVEL=error QUILLON_TRACE="$WORK/linux/trace.scene" \
  QUILLON_TRACE_FRAMES=2
mkdir -p "$WORK/windows"
printf '%b' "$keys" >"$WORK/windows/run.keys"
start_quillon WINEDLLOVERRIDES="mscoree,mshtml=;d3d8=d" QUILLON_DEVICE=ref QUILLON_SCALE=nearest \
  QUILLON_KEYS="$(windows_path "$WORK/windows/run.keys")" QUILLON_TIME=45296 \
  QUILLON_TRACE="$(windows_path "$WORK/windows/trace.scene")" QUILLON_TRACE_FRAMES=2 \
  QUILLON_VSYNC=0 QUILLON_LOG_LEVEL=info
expect_ended 0 120
tr -d '\r' <"$WORK/quillon.out" |
  grep -qx "quillon: device: reference, shown through GDI over the screen, presenting at once" ||
  fail "paced despite QUILLON_VSYNC=0, or smoothed: $(cat "$WORK/quillon.out")"
check_log "$DRIVE_C/FPS.TXT"
for shot in start turned moved; do
  "$PICTURE_TOOL" same "$WORK/linux/$shot.png" "$WORK/windows/$shot.png" ||
    fail "$shot.png differs from the Linux reference device's: $(cat "$WORK/quillon.out")"
done
for frame in trace trace-2; do
  for side in linux windows; do
    timeout 120 "$REPLAY" "$WORK/$side/$frame.scene" "$WORK/$side/$frame.png" ||
      fail "$side's $frame.scene does not replay"
  done
  "$PICTURE_TOOL" same "$WORK/linux/$frame.png" "$WORK/windows/$frame.png" ||
    fail "the Windows $frame.scene replays differently: $(diff "$WORK/linux/$frame.scene" "$WORK/windows/$frame.scene" | head)"
done

# The trace's folder cannot be made (a file stands in its way).
start_quillon QUILLON_DEVICE=ref QUILLON_KEYS="$(windows_path "$WORK/windows/run.keys")" \
  QUILLON_TRACE="$(windows_path "$WORK/windows/run.keys/trace.scene")" QUILLON_LOG_LEVEL=info \
  QUILLON_SCALE=linear
expect_ended 3 120
grep -q "shown through GDI over the screen, paced to its refresh, smoothed where scaled" \
  "$WORK/quillon.out" || fail "not paced, or not smoothed: $(cat "$WORK/quillon.out")"
grep -q "trace: " "$WORK/quillon.out" || fail "the trace's failure is not told: $(cat "$WORK/quillon.out")"
echo PASS
