#!/usr/bin/env bash
# Builds and runs every test: the optimised build (with the end-to-end tests),
# the address+undefined sanitizer build, and the thread-sanitizer build of the
# device tests that use several threads.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in default asan tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
