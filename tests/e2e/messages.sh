#!/usr/bin/env bash
# What the program says on stderr, and with which status, for each setting or
# situation a user meets: a table of the command, the status, how many lines
# and what one of them says (an extended regex). Every line starts with
# "quillon:", nothing goes to stdout, and bytes from the environment never
# reach the terminal raw. Before it, the command line as Linux users expect
# it (usage, version), and after it `cmake --install`: the programs
# (stripped), their manual pages, a valid desktop entry, its icon and the
# licence, which the uninstall target takes away again.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XDG_DATA_HOME
: "${REPLAY:?the replay tool}" "${BUILD_DIR:?the build folder}"

cd "$WORK" || fail "no work folder"
"$QUILLON" --help >out 2>err || fail "--help: status $?"
grep -q '^usage: quillon' out || fail "--help prints no usage"
grep -q -- '--drive-c DIR, QUILLON_DRIVE_C=DIR' out || fail "--help does not list the settings"
[ ! -e FPS.TXT ] || fail "--help started the program"
"$QUILLON" --version >out || fail "--version: status $?"
grep -Eq '^quillon [0-9]+\.[0-9]+' out || fail "--version prints '$(cat out)'"
"$REPLAY" --version | grep -Eq '^quillon-replay [0-9]+\.[0-9]+' || fail "replay --version"
# Text that cannot be written is no success.
for run in "$QUILLON --help" "$QUILLON --version" "$REPLAY --help" "$REPLAY --version"; do
  status=0
  $run >/dev/full 2>err || status=$?
  [ "$status" = 1 ] && grep -Eq '^quillon(-replay)?: cannot write to standard output: No space' err ||
    fail "$run >/dev/full: status $status: $(cat err)"
done
note "command line: usage and version as expected"
printf '3\n1 ESCAPE\n' >"$WORK/keys"
touch "$WORK/a-file"
mkdir -p "$WORK/taken" "$WORK/traces"
mkfifo "$WORK/traces/fifo"
export QUILLON_KEYS="$WORK/keys" QUILLON_DRIVE_C="$WORK"
esc=$'\e'
hint="set QUILLON_DRIVE_C \(--drive-c\) to a folder you can write"
bad="is refused: it must be"

# status | lines | a line, after "quillon: " | the run (variables, then
# options; \n and \e stand for a line end and an escape)
rows=(
  "0|1|running without a window; the log goes to $WORK/FPS.TXT, captures beside the key script; Ctrl\+C or kill [0-9]+ ends it$|"
  "0|0||QUILLON_LOG_LEVEL=error"
  "0|0||QUILLON_LOG_LEVEL=loud -- --log-level=error"
  "0|2|cannot reach the X display DISPLAY=:9999; going on without a window$|DISPLAY=:9999"
  "0|2|cannot reach the X display DISPLAY=x\\\\x0a\\\\x1b\[31m;|DISPLAY=x\n\e[31m"
  "0|2|WAYLAND_DISPLAY=wayland-0 cannot be reached: XDG_RUNTIME_DIR is unset; trying X11|WAYLAND_DISPLAY=wayland-0 XDG_RUNTIME_DIR="
  "1|2|there is no display to read the keyboard from: run quillon in a graphical session, or give it a key script with --keys FILE or QUILLON_KEYS=FILE|QUILLON_KEYS="
  "1|2|\(76\) Path not found: /nonexistent/FPS.TXT: there is no such folder \(drive C is QUILLON_DRIVE_C=/nonexistent\); make the folder, or $hint$|QUILLON_DRIVE_C=/nonexistent"
  "1|2|\(76\) Path not found: /nonexistent/FPS.TXT: there is no such folder|-- --drive-c /nonexistent"
  "1|2|\(76\) Path not found: /proc/self/FPS.TXT: the folder takes no new files \(drive C is QUILLON_DRIVE_C=/proc/self\); $hint$|QUILLON_DRIVE_C=/proc/self"
  "1|2|\(76\) Path not found: $WORK/a-file/FPS.TXT: a part of the path is a file, not a folder|QUILLON_DRIVE_C=$WORK/a-file"
  "1|2|\(76\) Path not found: /proc/self/.local/share/quillon/drive_c/FPS.TXT: the folder cannot be made \(No such file or directory\)|QUILLON_DRIVE_C= HOME=/proc/self"
  "1|2|\(76\) Path not found: $WORK/x\\\\x0a\\\\x1b\[31m/FPS.TXT: .*QUILLON_DRIVE_C=$WORK/x\\\\x0a\\\\x1b\[31m\)|QUILLON_DRIVE_C=$WORK/x\n\e[31m"
  "3|1|trace: .*$WORK/taken.*Is a directory; tracing stopped$|QUILLON_LOG_LEVEL=error QUILLON_TRACE=$WORK/taken"
  "3|1|trace: .*$WORK/traces/fifo.*not a regular file; tracing stopped$|QUILLON_LOG_LEVEL=error QUILLON_TRACE=$WORK/traces/fifo"
  "3|1|trace: .*$WORK/a-file/\\\\x1b\[31m.*; tracing stopped$|QUILLON_LOG_LEVEL=error QUILLON_TRACE=$WORK/a-file/\e[31m.scene"
  "3|1|trace: cannot write $WORK/FPS.TXT: it is the program's log; tracing stopped$|QUILLON_LOG_LEVEL=error QUILLON_TRACE=$WORK/FPS.TXT"
  "3|1|trace: cannot write /sys/quillon-trace/s.scene: the folder cannot be made \((Operation not permitted)?(Permission denied)?\); tracing stopped$|QUILLON_LOG_LEVEL=error QUILLON_TRACE=/sys/quillon-trace/s.scene"
  "2|1|QUILLON_THREADS \(--threads\) '0' $bad a count of threads from 1 to 64$|QUILLON_THREADS=0"
  "2|1|QUILLON_THREADS \(--threads\) '-1' $bad|QUILLON_THREADS=-1"
  "2|1|QUILLON_THREADS \(--threads\) '65' $bad|QUILLON_THREADS=2 -- --threads=65"
  "2|1|QUILLON_THREADS \(--threads\) 'four' $bad|QUILLON_THREADS=four"
  "2|1|QUILLON_WINDOWED \(--windowed\) 'maybe' $bad 1, 0, true, false, yes, no, on or off$|-- --windowed=maybe"
  "2|1|QUILLON_DEVICE \(--device\) 'gpu\\\\x1b\[2J' $bad hal or ref$|QUILLON_DEVICE=gpu\e[2J"
  "2|1|QUILLON_LOG_LEVEL \(--log-level\) 'loud' $bad error, warn, info or debug$|QUILLON_LOG_LEVEL=loud"
  "2|1|QUILLON_HUD \(--hud\) 'clock' $bad|-- --hud=clock"
  "2|1|unknown option '--frobnicate'; quillon --help lists the options$|-- --frobnicate"
  "2|1|--keys needs a value \(FILE\); quillon --help lists the options$|-- --keys"
  "2|1|--drive-c= has an empty value: it takes DIR; quillon --help lists the options$|-- --drive-c="
  "2|1|--threads= has an empty value|-- --threads="
  "2|1|--device= has an empty value|-- --device="
  "2|1|QUILLON_KERNELS 'banana' $bad 1, 0, true, false, yes, no, on or off$|QUILLON_KERNELS=banana"
)
for row in "${rows[@]}"; do
  IFS='|' read -r want lines pattern run <<<"$row"
  vars=() opts=()
  read -r -a words <<<"$run"
  target=vars
  for w in "${words[@]}"; do
    printf -v w '%b' "$w"
    if [ "$w" = -- ]; then target=opts; else eval "$target+=(\"\$w\")"; fi
  done
  status=0
  env "${vars[@]}" timeout -k 5 60 "$QUILLON" "${opts[@]}" >"$WORK/out" 2>"$WORK/err" || status=$?
  said=$(cat "$WORK/err")
  [ "$status" = "$want" ] || fail "$run: status $status, not $want: $said"
  [ "$(wc -l <"$WORK/err")" = "$lines" ] || fail "$run: not $lines lines: $said"
  [ "$lines" = 0 ] || grep -Eq "^quillon: $pattern" "$WORK/err" ||
    fail "$run: said '$said', not '$pattern'"
  grep -v '^quillon: ' "$WORK/err" | grep -q . && fail "$run: a line without the prefix: $said"
  [ -s "$WORK/out" ] && fail "$run: wrote to stdout: $(cat "$WORK/out")"
  LC_ALL=C grep -q "[[:cntrl:]]" "$WORK/err" && fail "$run: a control byte reached stderr: $said"
  note "$status: $(tail -n1 "$WORK/err")"
done
[ -e "$WORK/nonexistent" ] && fail "a drive C the user named was made"
# A trace that failed leaves no file of its frame beside it (and never
# waited on the FIFO).
[ "$(ls "$WORK/traces")" = fifo ] || fail "trace files left: $(ls "$WORK/traces")"
ls "$WORK" | grep -q -- '-vb' && fail "vertex files left beside a trace: $(ls "$WORK")"

# The replay tool quotes the paths it is given too.
status=0
"$REPLAY" "$WORK/keys" "$WORK/out${esc}[2J.txt" 2>"$WORK/err" || status=$?
[ "$status" = 2 ] && grep -q 'out\\x1b\[2J.txt: OUT must end in .png or .ppm$' "$WORK/err" ||
  fail "replay: status $status: $(cat "$WORK/err")"
# A user's install elsewhere stays the build's to take back, whatever it
# installed since.
cmake --install "$BUILD_DIR" --prefix "$WORK/user" >/dev/null || fail "cmake --install (user)"
cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >"$WORK/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$WORK/install.log")"
cd "$WORK" || fail "no work folder"
for f in bin/quillon bin/quillon-replay share/man/man6/quillon.6 share/man/man1/quillon-replay.1 \
  share/applications/quillon.desktop share/icons/hicolor/128x128/apps/quillon.png; do
  [ -s "prefix/$f" ] || fail "cmake --install did not install $f"
done
ls prefix/share/doc/*/LICENSE >/dev/null 2>&1 || fail "no licence installed"
grep -q '^Exec=quillon$' prefix/share/applications/quillon.desktop || fail "desktop entry"
desktop-file-validate prefix/share/applications/quillon.desktop || fail "the desktop entry is not valid"
"prefix/bin/quillon" --version >/dev/null || fail "the installed program does not run"
file -L prefix/bin/quillon prefix/bin/quillon-replay | grep -q 'not stripped' && fail "not stripped"
note "cmake --install: programs (stripped), manual pages, desktop entry, icon and licence"
uninstall() { (cd "$BUILD_DIR" && cmake -D PREFIX="$1" -P "$SOURCE_DIR/packaging/uninstall.cmake"); }
uninstall "$WORK/prefix" >uninstall.log 2>&1 || fail "uninstall: $(cat uninstall.log)"
[ ! -e prefix ] || fail "uninstall left $(find prefix)"
uninstall "$WORK/user" >user.log 2>&1 || fail "uninstall (user): $(cat user.log)"
[ ! -e user ] || fail "uninstall left the user's $(find user)"
uninstall "$WORK/user" >/dev/null 2>&1 && fail "a second uninstall found something to remove"
note "uninstall: $(grep -c 'Removed:' uninstall.log) files and the folders made removed, none left"
echo PASS
