#!/usr/bin/env bash
# Installs what is needed, builds, and runs the program: on the screen when
# there is a display, otherwise invisibly with a short demo key script that
# writes pictures of what it drew.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target quillon

program=build/default/main/quillon
# Drive C of the program ("C:\FPS.TXT" lands there).
export QUILLON_DRIVE_C="${QUILLON_DRIVE_C:-$PWD/build/run}"
mkdir -p "$QUILLON_DRIVE_C"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Arrow keys steer the cloud, Escape ends the program."
  status=0
  "$program" || status=$?
else
  keys="$QUILLON_DRIVE_C/demo.keys"
  cat >"$keys" <<'KEYS'
# No display: a scripted keyboard. Each line holds keys for a number of frames.
20
capture cloud-start.png
30 LEFT
capture cloud-turned.png
30 DOWN
capture cloud-near.png
40 UP
capture cloud-far.png
1 ESCAPE
KEYS
  echo "No display: running invisibly with the key script $keys"
  status=0
  QUILLON_KEYS="$keys" "$program" || status=$?
  echo "Pictures of the run are in $QUILLON_DRIVE_C (cloud-*.png)."
fi
echo "Frame-rate log: $QUILLON_DRIVE_C/FPS.TXT"
exit "$status"
