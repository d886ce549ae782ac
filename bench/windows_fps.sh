#!/usr/bin/env bash
# Frames per second of quillon.exe under Wine (Wine's Direct3D 8 over Mesa's
# OpenGL) against the Linux program on its reference device, side by side on
# one private X server of 640x480: both full screen at the start position (a
# key script of no key down, then Escape, at a fixed time of day), the Linux
# program with QUILLON_VSYNC=0, the Windows one with the interval its
# presentation parameters give (Xvfb has no refresh to wait for). ROUNDS
# rounds, the two programs in turn; each figure is the median of FPS.TXT's
# samples, the first two (start-up) left out, as in program_fps.sh.
#
#   bench/windows_fps.sh [-r ROUNDS] [-l LINUX_FRAMES] [-w WINDOWS_FRAMES]
#
# Needs build/default/main/quillon and build/windows/quillon.exe; makes its
# own Wine prefix in build/windows/bench-prefix on first use.
set -euo pipefail
rounds=3 linux_frames=15000 windows_frames=2500
while getopts "r:l:w:" opt; do
  case $opt in
    r) rounds=$OPTARG ;;
    l) linux_frames=$OPTARG ;;
    w) windows_frames=$OPTARG ;;
    *) sed -n '2,14p' "$0" >&2; exit 2 ;;
  esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$root/build/default/main/quillon exe=$root/build/windows/quillon.exe
export WINEPREFIX=$root/build/windows/bench-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 5>&-
trap 'wineserver -k 2>/dev/null; kill $xvfb; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
mkdir -p "$WINEPREFIX"
wineserver -p 60 || true  # kept between the runs, so that each starts fast
[ -d "$WINEPREFIX/drive_c" ] || wineboot -i >/dev/null 2>&1

median() {  # FPS.TXT -> the median of its samples after the first two
  tr -d '\r' <"$1" | uniq | tail -n +3 | sort -n |
    awk '{a[NR] = $1} END {if (NR) print a[int((NR + 1) / 2)]; else print "-"}'
}
printf '%s\n1 ESCAPE\n' "$linux_frames" >"$work/linux.keys"
printf '%s\n1 ESCAPE\n' "$windows_frames" >"$work/windows.keys"
for ((round = 1; round <= rounds; ++round)); do
  QUILLON_DEVICE=ref QUILLON_VSYNC=0 QUILLON_KEYS="$work/linux.keys" QUILLON_TIME=1000 \
    QUILLON_DRIVE_C="$work" "$linux" 2>/dev/null
  l=$(median "$work/FPS.TXT")
  # Wine's default settings; a run that dies at exit (see tests/windows/lib.sh)
  # has still logged every frame.
  QUILLON_KEYS="Z:${work//\//\\}\\windows.keys" QUILLON_TIME=1000 wine "$exe" 2>/dev/null || true
  w=$(median "$WINEPREFIX/drive_c/FPS.TXT")
  echo "round $round: Linux reference device $l fps, quillon.exe over Wine's Direct3D 8 $w fps" \
    "(Linux / Windows $(awk -v l="$l" -v w="$w" 'BEGIN {printf "%.1f", l / w}'))"
done
