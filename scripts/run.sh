#!/usr/bin/env bash
# Installs what is needed, builds the program and the replay tool, and runs
# the program: on the screen when there is a display, otherwise invisibly
# with a short key script that writes pictures of what it drew.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
# As many compile jobs as the machine has cores.
cmake --build --preset default --parallel "$(nproc)" --target quillon quillon-replay

program=build/default/main/quillon
# Drive C of the program ("C:\FPS.TXT" lands there): the program's own
# default unless QUILLON_DRIVE_C says otherwise.
drive_c="${QUILLON_DRIVE_C:-${XDG_DATA_HOME:-$HOME/.local/share}/quillon/drive_c}"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Arrow keys steer the cloud, F12 saves a screenshot, Escape ends the program."
  status=0
  "$program" || status=$?
else
  mkdir -p build/run
  keys="build/run/demo.keys"
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
  echo "Pictures of the run are in build/run (cloud-*.png)."
fi
echo "Frame-rate log: $drive_c/FPS.TXT"
exit "$status"
