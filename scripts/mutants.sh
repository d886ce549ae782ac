#!/usr/bin/env bash
# Measures what the tests catch: puts small faults into the product code, one
# at a time, and counts those the tests notice.
#
#   scripts/mutants.sh                     # the program's folders
#   scripts/mutants.sh app timing          # some folders
#   MUTANTS_PER_FOLDER=15 MUTANTS_SEED=1 MUTANT_TIMEOUT=300 scripts/mutants.sh
#
# For each folder it draws a fixed, seeded sample of one-line faults
# (scripts/mutant_sample.py: universalmutator's, installed into a venv under
# build/ when the package index can be reached, else the same kind of rules of
# its own), and for each fault: writes it into the file, rebuilds only the
# folder's test program and the reliability tests (ninja recompiles what the
# file touches), runs the folder's own tests and then the program's end-to-end
# tests on the recording platform (for the runtime also the built program's
# test in a hostile process), and puts the file back. A fault the build
# refuses counts apart. Prints caught/total per folder with every survivor
# (file:line and the faulty line); the tallies go to build/mutants/.
set -euo pipefail
cd "$(dirname "$0")/.."

folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(app graphics input timing d3dx)
per_folder=${MUTANTS_PER_FOLDER:-15}
seed=${MUTANTS_SEED:-1}
limit=${MUTANT_TIMEOUT:-300}
build=build/default
work=build/mutants

# The end-to-end tests that show each folder's faults: the program under
# every failing platform call and for 200,000 frames, on the recording
# platform (any other folder: the fault sweep); for the modules the program
# calls, also the load event's own runs (app_tests).
program='^(FaultSweep|CloudSoak|FormLoad|PictureLoop|SpinningCloud)\.'
declare -A e2e=(
  [app]='^(FaultSweep|CloudSoak)\.' [graphics]="$program"
  [input]="$program" [timing]="$program"
  [d3dx]="$program"
  [math]="$program" [formats]='^FaultSweep\.'
  [runtime]='^(FaultSweep|CloudSoak)\.|^e2e\.hostile_process$'
  [sdlhost]='^(FaultSweep\.|e2e\.(messages|headless_script|device_choice|xvfb_(fullscreen|losses)(_hardware)?)$)'
  [hostcommon]='^(FaultSweep\.|HostConfig\.|e2e\.(messages|headless_script)$)'
  [scene]='^(FaultSweep\.|e2e\.headless_script$)'
  [presentation]='^(FaultSweep\.|OffscreenHost\.F12|e2e\.(headless_script|xvfb_fullscreen(_hardware)?)$)'
  [pictures]='^(ProgramScenes/GoldenScene\.|ReplayTool\.|e2e\.headless_script$)'
  [refdevice]='^(FaultSweep|ArgumentChecks)\.'
  [gldevice]='^(FaultSweep|ArgumentChecks|GoldenOnHardware)\.'
)
# Programs beyond the folder's own tests that those tests need: the ones the
# end-to-end tests run, and the shared table of bad arguments on every device.
declare -A programs=([graphics]=app_tests [input]=app_tests [timing]=app_tests
                     [d3dx]=app_tests [math]=app_tests
                     [runtime]='quillon quillon-replay picture_tool'
                     [sdlhost]='quillon quillon-replay picture_tool x_tool'
                     [hostcommon]='quillon quillon-replay picture_tool sdlhost_tests'
                     [scene]='quillon quillon-replay picture_tool'
                     [presentation]='quillon quillon-replay picture_tool x_tool sdlhost_tests'
                     [pictures]='quillon quillon-replay picture_tool refdevice_tests'
                     [refdevice]='front_tests' [gldevice]='front_tests device-agreement')

# universalmutator when it can be had (Debian's pip refuses system installs).
mutate=""
venv=$work/venv
if [ ! -x "$venv/bin/mutate" ]; then
  python3 -m venv "$venv" >/dev/null 2>&1 &&
    "$venv/bin/pip" install -q --retries 0 --timeout 20 universalmutator >/dev/null 2>&1 ||
    echo "universalmutator could not be installed: using the sampler's own rules" >&2
fi
[ -x "$venv/bin/mutate" ] && mutate=$venv/bin/mutate

# Put back the file under test whatever ends the run, Ctrl-C included.
current="" backup="$work/original"
restore() {
  if [ -n "$current" ]; then
    cp "$backup" "$current"  # a fresh mtime, so ninja rebuilds the original
    current=""
  fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

[ -f "$build/build.ninja" ] || cmake --preset default >/dev/null
mkdir -p "$work"
start=$SECONDS
for folder in "${folders[@]}"; do
  read -r -a targets <<<"${folder}_tests reliability_tests ${programs[$folder]:-}"
  cmake --build "$build" --target "${targets[@]}" >/dev/null
  suites=$("$build/$folder/${folder}_tests" --gtest_list_tests | grep -v '^ ' | tr -d '.' |
    paste -sd'|')
  own="^($suites)\\."
  e2e[$folder]=${e2e[$folder]:-'^FaultSweep\.'}
  ctest --test-dir "$build" -R "$own|${e2e[$folder]}" --parallel 2 >/dev/null ||
    { echo "$folder: the tests fail without any fault; nothing measured" >&2; continue; }

  sample=$work/$folder
  rm -rf "$sample"
  python3 scripts/mutant_sample.py "$folder" "$per_folder" "$seed" "$sample" $mutate
  caught=0 survived=0 refused=0 report=$work/$folder.txt
  : >"$report"
  for src in "$sample"/*.src; do
    IFS=$'\t' read -r file line text <"${src%.src}.info"
    cp "$file" "$backup"
    current=$file
    cp "$src" "$file"
    if ! timeout "$limit" cmake --build "$build" --target "${targets[@]}" >/dev/null 2>&1; then
      verdict=refused
    elif timeout "$limit" ctest --test-dir "$build" -R "$own" --stop-on-failure --parallel 2 \
      >/dev/null 2>&1 &&
      timeout "$limit" ctest --test-dir "$build" -R "${e2e[$folder]}" --parallel 2 \
        >/dev/null 2>&1; then
      verdict=survived
    else
      verdict=caught  # a failing or hanging test
    fi
    restore
    case $verdict in
      caught) caught=$((caught + 1)) ;;
      survived) survived=$((survived + 1)) ;;
      refused) refused=$((refused + 1)) ;;
    esac
    printf '%s\t%s:%s\t%s\n' "$verdict" "$file" "$line" "$text" | tee -a "$report" >&2
  done
  {
    echo "$folder: caught $caught/$((caught + survived)) (the build refused $refused more)"
    grep '^survived' "$report" | cut -f2- | sed 's/^/  survivor /' || true
  } | tee -a "$work/summary.txt"
done
# The binaries as the unchanged sources make them.
for folder in "${folders[@]}"; do
  read -r -a targets <<<"${folder}_tests reliability_tests ${programs[$folder]:-}"
  cmake --build "$build" --target "${targets[@]}" >/dev/null 2>&1 || true
done
echo "mutant runs took $((SECONDS - start)) s"
