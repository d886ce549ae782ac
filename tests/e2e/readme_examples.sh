#!/usr/bin/env bash
# The README's replay and trace examples, taken from README.md itself, run
# word for word from a checkout's root with a fresh build, on a machine
# without a display and with a fresh home: they succeed, the program's drive C
# is the per-user folder it makes, the log's first line is "1" (the tick count
# is the system's uptime), the traced frame replays to a picture, and nothing
# is left in the checkout outside build/.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY QUILLON_DRIVE_C XDG_DATA_HOME
: "${REPLAY:?the replay tool}" "${BUILD_DIR:?the build folder}" "${SOURCE_DIR:?the source tree}"

# The lines of the README's sh block that traces and replays.
awk '/^```sh$/ {block = ""; inside = 1; next}
     /^```$/ && inside {if (block ~ /QUILLON_TRACE=/) printf "%s", block; inside = 0; next}
     inside {block = block $0 "\n"}' "$SOURCE_DIR/README.md" >"$WORK/commands"
[ "$(grep -c . "$WORK/commands")" -ge 3 ] || fail "no replay example in the README"
grep -q 'QUILLON_TRACE=' "$WORK/commands" || fail "the README's example traces nothing"

# A checkout as a newcomer has it after scripts/run.sh.
mkdir -p "$WORK/checkout/build" "$WORK/home"
ln -s "$BUILD_DIR" "$WORK/checkout/build/default"
cp -r "$SOURCE_DIR/examples" "$WORK/checkout/examples"
cd "$WORK/checkout" || fail "no checkout"
while IFS= read -r line; do
  [ -n "$line" ] || continue
  note "$ $line"
  HOME="$WORK/home" timeout -k 5 120 bash -c "$line" >"$WORK/out" 2>"$WORK/err" ||
    fail "status $? of: $line
$(cat "$WORK/err")"
done <"$WORK/commands"

log="$WORK/home/.local/share/quillon/drive_c/FPS.TXT"
check_log "$log"
[ "$(head -n1 "$log")" = $'1\r' ] || fail "the log's first line is '$(head -n1 "$log" | tr -d '\r')', not 1"
note "drive C made at ~/.local/share/quillon/drive_c; first log line 1; $(log_lines "$log") lines"
[ -f build/trace/cloud.scene ] || fail "the trace's folder or scene was not made"
[ -f build/trace/frame1.png ] || fail "the replay wrote no picture"
expect_cloud build/trace/frame1.png 2000
[ "$w" = 640 ] && [ "$h" = 480 ] || fail "the replayed frame is ${w}x${h}"
left=$(find . -path ./build -prune -o -path ./examples -prune -o -mindepth 1 -print)
[ -z "$left" ] || fail "the examples left files in the checkout: $left"
diff -r "$SOURCE_DIR/examples" examples >/dev/null || fail "the examples changed examples/"
echo PASS
