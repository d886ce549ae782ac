#!/usr/bin/env bash
# Side-by-side figures in one run: the cloud frame on Mesa's llvmpipe through
# OpenGL (gl_cloud) and on the reference device (refdevice_bench), run in
# turn, round after round, at the start (eye at -5) and inside the cloud
# (-1.2); and the device's clear-and-present frame against a plain memset and
# memcpy of the same bytes. Prints each round's times and the ratios, then the
# median ratio over the rounds.
#
#   bench/compare.sh [ROUNDS]      (default 5; BUILD=dir overrides build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/default}
rounds=${1:-5}
gl=$build/bench/gl_cloud
dev=$build/bench/refdevice_bench
for tool in "$gl" "$dev"; do
  [ -x "$tool" ] || { echo "missing $tool: cmake --build $build --target gl_cloud refdevice_bench" >&2; exit 1; }
done

# Mean real time in ms of the benchmarks matching $1.
bench_ms() {
  "$dev" --benchmark_filter="$1" --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null |
    awk -F, 'NR > 1 { t = $3; if ($5 == "\"us\"" || $5 == "us") t /= 1000; print t; exit }'
}
gl_ms() {
  "$gl" --eye "$1" --frames 400 --warmup 40 | sed 's/.*mean_ms=\([0-9.]*\).*/\1/'
}

results=$(mktemp)
trap 'rm -f "$results"' EXIT
printf '%-6s %-28s %10s %10s %8s\n' round measure "other ms" "device ms" ratio
for round in $(seq "$rounds"); do
  for d in 50 12; do
    eye=$(awk -v d="$d" 'BEGIN { printf "-%g", d / 10 }')
    other=$(gl_ms "$eye")
    for threads in 1 0; do
      mine=$(bench_ms "^CloudFrame/backend:1/distance_x10:$d/threads:$threads/")
      label="cloud $eye, $([ "$threads" = 1 ] && echo 1 thread || echo all threads)"
      echo "$label|$other|$mine" >>"$results"
      printf '%-6s %-28s %10.3f %10.3f %7.2fx\n' "$round" "llvmpipe / $label" "$other" "$mine" \
        "$(awk -v a="$other" -v b="$mine" 'BEGIN { print a / b }')"
    done
  done
  floor=$(bench_ms '^MemsetMemcpy')
  # A clear whose values change every frame: one that repeats them is skipped.
  mine=$(bench_ms '^ClearAndPresent/backend:1/threads:0/changing:1/')
  echo "clear+present / memset+memcpy|$floor|$mine" >>"$results"
  printf '%-6s %-28s %10.3f %10.3f %7.2fx\n' "$round" "clear+present vs memset" "$floor" "$mine" \
    "$(awk -v a="$mine" -v b="$floor" 'BEGIN { print a / b }')"
done

echo
echo "median over $rounds rounds (other / device for the cloud: times faster than llvmpipe;"
echo "device / floor for the clear: times slower than memset+memcpy)"
awk -F'|' '{ key[$1]; if ($1 ~ /^clear/) r[$1, ++n[$1]] = $3 / $2; else r[$1, ++n[$1]] = $2 / $3 }
  END {
    for (k in key) {
      m = n[k]
      for (i = 1; i <= m; ++i) v[i] = r[k, i]
      for (i = 1; i <= m; ++i) for (j = i + 1; j <= m; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      printf "  %-36s %6.2fx\n", k, (m % 2 ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2)
    }
  }' "$results" | sort
