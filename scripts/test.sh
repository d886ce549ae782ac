#!/usr/bin/env bash
# Builds and runs every test: the optimised build (with the end-to-end tests,
# the fault sweep and the long soak), the address+undefined
# sanitizer build, the thread-sanitizer build (the device tests that use
# several threads, the host's tests, and a short headless run of the program
# with two drawing threads), and the libFuzzer targets (clang), each fuzzed for a
# bounded time after replaying every input that ever made one fail, and
# quillon.exe cross-compiled for Windows with its unit and end-to-end tests
# under Wine (after the default build, whose program and picture tool its
# end-to-end tests compare with), and the browser build with its unit tests
# as pages in headless Chromium. Ends with the lines of tests against the
# lines of product (a report, never a failure).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows --web
for preset in default asan tsan fuzz windows web; do
  cmake --preset "$preset" >/dev/null
  # As many compile jobs as the machine has cores.
  cmake --build --preset "$preset" --parallel "$(nproc)"
  ctest --preset "$preset"
  # What passes silently: the sweep's tally, the soak's memory, the fuzz runs,
  # how far the Windows captures agree with Linux.
  grep -h -e "faults tried:" -e "resident memory:" -e "^Done [0-9]* runs" -e "foreground pixels" \
    "build/$preset/Testing/Temporary/LastTest.log" || true
done
scripts/test_ratio.sh || true
