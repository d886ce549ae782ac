#!/usr/bin/env bash
# Builds and runs every test: the optimised build (with the end-to-end tests)
# and the address+undefined sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in default asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
