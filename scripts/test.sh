#!/usr/bin/env bash
# Builds and runs every test: the optimised build (with the end-to-end tests)
# the address+undefined sanitizer build, and the thread-sanitizer build of the
# device tests that use several threads (where the tree has its preset).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in default asan tsan; do
  if ! cmake --list-presets=configure | grep -q "\"$preset\""; then
    echo "No preset '$preset' in this tree: skipped."
    continue
  fi
  cmake --preset "$preset" >/dev/null
  # As many compile jobs as the machine has cores.
  cmake --build --preset "$preset" --parallel "$(nproc)"
  ctest --preset "$preset"
done
