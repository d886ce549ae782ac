#!/usr/bin/env bash
# The program's own frame rate as it logs it: headless (SDL's offscreen
# driver), presentation not waiting for the refresh, at the start position
# (a key script of FRAMES frames with no key down, then Escape), on each
# thread count asked for. Programs given are run in turn, ROUNDS times, so
# that their figures are taken side by side on a shared machine.
#
#   bench/program_fps.sh [-f FRAMES] [-t "1 0"] [-r ROUNDS] [PROGRAM...]
#
# Threads 0 is the default count. PROGRAM defaults to build/default/main/quillon.
# FPS.TXT holds, for every frame, the last sample of the frame-rate counter,
# taken a little more than once a second; each run of equal lines is one
# sample. The first sample (taken at the first frame) and the second (the
# first second, start-up included) are left out; the rest are printed in
# order of size with their median.
set -euo pipefail

# Several seconds even at 3000 frames per second: the first two samples are
# left out, and a median needs a few more.
frames=20000
threads="1 0"
rounds=1
while getopts "f:t:r:" opt; do
  case $opt in
    f) frames=$OPTARG ;;
    t) threads=$OPTARG ;;
    r) rounds=$OPTARG ;;
    *) sed -n '2,17p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- "$(dirname "$0")/../build/default/main/quillon"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n1 ESCAPE\n' "$frames" >"$work/start.keys"

for ((round = 1; round <= rounds; ++round)); do
  for t in $threads; do
    for program in "$@"; do
      rm -f "$work/FPS.TXT"
      vars=(QUILLON_VSYNC=0 QUILLON_KEYS="$work/start.keys" QUILLON_DRIVE_C="$work" QUILLON_TIME=1000)
      [ "$t" != 0 ] && vars+=(QUILLON_THREADS="$t")
      env -u DISPLAY -u WAYLAND_DISPLAY -u QUILLON_THREADS "${vars[@]}" "$program" 2>/dev/null ||
        { echo "$program failed" >&2; exit 1; }
      samples=$(tr -d '\r' <"$work/FPS.TXT" | uniq | tail -n +3 | sort -n)
      median=$(awk '{a[NR] = $1} END {if (NR) print a[int((NR + 1) / 2)]; else print "-"}' \
        <<<"$samples")
      printf '%-40s threads %-7s median %6s fps   samples: %s\n' "$program" \
        "$([ "$t" = 0 ] && echo default || echo "$t")" "$median" "$(echo $samples)"
    done
  done
done
