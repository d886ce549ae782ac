#!/usr/bin/env bash
# Which device start-up takes, headless: the hardware device when forced on
# any OpenGL 3.3 renderer; the reference device with SDL's dummy driver (no
# OpenGL), with QUILLON_DEVICE=ref, on a software renderer not forced, and
# under a tight address-space limit not forced.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

# run NAME VAR=VALUE...: the program for two frames (Escape in the second),
# the same cloud every time; prints its device line.
run() {
  run_headless "$1" '1\ncapture f1.png\n1 ESCAPE\n' QUILLON_TIME=3600 QUILLON_LOG_LEVEL=info "${@:2}"
  expect_log_lines "$WORK/$1/FPS.TXT" 2
  [ "$(grep -c '^quillon: device:' "$WORK/$1/out")" = 1 ] || fail "$1: no single device line"
  grep '^quillon: device:' "$WORK/$1/out"
}

# name | the device line starts with | settings
for row in "forced|quillon: device: hardware (OpenGL renderer |QUILLON_DEVICE=hal" \
  "dummy|quillon: device: reference|QUILLON_DEVICE=hal SDL_VIDEODRIVER=dummy" \
  "ref|quillon: device: reference|QUILLON_DEVICE=ref"; do
  IFS='|' read -r name want settings <<<"$row"
  line=$(run "$name" $settings)
  note "$name: $line"
  [[ $line == "$want"* ]] || fail "$name: $line"
done

# Not forced: a software renderer is refused; a hardware one is taken.
line=$(run auto)
note "not forced: $line"
case "$line" in
  "quillon: device: reference (no hardware device: software renderer "*) ;;
  "quillon: device: hardware"*)
    if echo "$line" | grep -Eq 'llvmpipe|softpipe|swrast'; then fail "software renderer taken: $line"; fi ;;
  *) fail "not forced: $line" ;;
esac

# Under a tight address-space limit the driver is not started unless asked
# for (some crash inside when they cannot map what they want).
line=$(ulimit -v 700000 && run limited)
note "limited: $line"
[[ $line == "quillon: device: reference (no hardware device: an address-space limit of 683 MiB"* ]] ||
  fail "limited: $line"

# Both devices show the same first frame, within the rounding of blends.
figures=$("$PICTURE_TOOL" agree "$WORK/ref/f1.png" "$WORK/forced/f1.png") ||
  fail "the devices' first frames differ: $figures (differing%, largest difference off edges)"
note "first frame against the reference device: $figures (differing%, largest difference off edges)"

echo PASS
