#!/usr/bin/env bash
# A long run of the real program on the reference device, invisibly: FRAMES
# frames of the spinning cloud (100,000 unless given) under a key script,
# with the resident memory sampled as it runs. It checks that the program
# ends cleanly, that memory stays flat once warmed up, and that the frame-rate
# log holds one whole line per frame. Too long for the test command (some
# minutes); run it by hand:  scripts/soak.sh [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/.."

frames="${1:-100000}"
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target quillon >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The eye goes back and forth; the last frame sees Escape.
half=$(((frames - 1) / 2))
printf '%d UP\n%d DOWN\n1 ESCAPE\n' "$half" "$((frames - 1 - half))" >"$work/soak.keys"

start=$(date +%s)
env -u DISPLAY -u WAYLAND_DISPLAY QUILLON_DRIVE_C="$work" QUILLON_KEYS="$work/soak.keys" \
  QUILLON_TIME=45296 build/default/main/quillon >"$work/out.txt" 2>&1 &
pid=$!
samples=()
tick=0
while kill -0 "$pid" 2>/dev/null; do
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  lines=0
  [ -f "$work/FPS.TXT" ] && lines=$(wc -l <"$work/FPS.TXT")
  if [ -n "$rss" ]; then
    samples+=("$lines:$rss")
    # A line a minute, so a long run shows how it goes.
    [ $((tick % 12)) -eq 0 ] && echo "after $((tick * 5))s: $lines frames, $rss KB resident"
  fi
  tick=$((tick + 1))
  sleep 5
done
status=0
wait "$pid" || status=$?
seconds=$(($(date +%s) - start))

lines=$(wc -l <"$work/FPS.TXT")
whole=$(grep -cvE $'^[0-9]+\r$' "$work/FPS.TXT" || true)
echo "frames: $frames in ${seconds}s, exit status $status, log lines: $lines, odd lines: $whole"
echo "resident memory (frames drawn:KB): ${samples[*]}"
fail=0
[ "$status" -eq 0 ] || { echo "the program failed:"; cat "$work/out.txt"; fail=1; }
[ "$lines" -eq "$frames" ] || { echo "expected $frames log lines"; fail=1; }
[ "$whole" -eq 0 ] || { echo "the log holds lines that are not whole numbers"; fail=1; }
# Flat: after the first tenth of the run the resident size grows by less
# than 8 MB.
if [ "${#samples[@]}" -ge 3 ]; then
  warm=""
  for s in "${samples[@]}"; do
    [ "${s%%:*}" -ge $((frames / 10)) ] && { warm="${s##*:}"; break; }
  done
  last="${samples[-1]##*:}"
  if [ -n "$warm" ] && [ "$last" -gt $((warm + 8192)) ]; then
    echo "memory grew from $warm KB to $last KB"
    fail=1
  fi
fi
exit "$fail"
