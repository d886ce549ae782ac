#!/usr/bin/env bash
# quillon.exe's log under what a hostile drive C or environment holds, with
# the rules of the Linux program: each refusal or failure is the error
# report, its line on stderr as well as in the box, and status 1 once the box
# is closed (a bad setting: one line and status 2 at once):
# - a QUILLON_LOG_LEVEL and a QUILLON_DRIVE_C longer than 1,024 bytes are
#   read whole (the level refused, the missing folder reported);
# - FPS.TXT a symbolic link (to a file, to nothing) is not followed, one
#   with another name (a hard link) is not emptied, and a FIFO is refused
#   without waiting for a reader;
# - a disk that fills leaves the log's last line whole: "(61) Disk full".
source "$(dirname "$0")/lib.sh"

drive=$WORK/c
mkdir -p "$drive"
printf '100000\n' >"$WORK/hold.keys"
printf '1 ESCAPE\n' >"$WORK/end.keys"
long=$(printf 'x%.0s' $(seq 1100))

# refused NAME LINE VAR=VALUE...: the run's report is LINE (a pattern) on
# stderr and in the box; Return closes the box and the program ends with 1.
refused() {
  local name=$1 line=$2
  shift 2
  start_quillon QUILLON_DRIVE_C="$(windows_path "$drive")" QUILLON_KEYS="$(windows_path "$WORK/end.keys")" "$@"
  wait_for 60 has_message_box || fail "$name: no box; output: $(cat "$WORK/quillon.out")"
  sleep 1
  xdotool keydown Return && sleep 0.2 && xdotool keyup Return
  expect_ended 1
  grep -q "^quillon: $line" "$WORK/quillon.out" ||
    fail "$name: stderr does not say $line: $(cat "$WORK/quillon.out")"
  note "$name: refused, status 1"
}

out=$(env QUILLON_LOG_LEVEL="$long" QUILLON_DRIVE_C="$(windows_path "$drive")" \
  QUILLON_KEYS="$(windows_path "$WORK/end.keys")" timeout 60 wine "$QUILLON_EXE" 2>&1) &&
  fail "a long log level was taken"
[ "$(printf '%s\n' "$out" | grep -c 'QUILLON_LOG_LEVEL')" = 1 ] || fail "long log level: $out"
note "a long QUILLON_LOG_LEVEL: refused"

refused "long drive C" "(76) Path not found: .*x\\\\FPS.TXT: there is no such folder" \
  QUILLON_DRIVE_C="$(windows_path "$WORK/$long")"

echo keep >"$WORK/outside"
ln -s "$WORK/outside" "$drive/FPS.TXT"
refused link "(75) Path/file access error: .*FPS.TXT: it is a symbolic link, which is never followed"
[ "$(cat "$WORK/outside")" = keep ] || fail "the file the link names was written"
rm "$drive/FPS.TXT" && ln -s "$WORK/nowhere" "$drive/FPS.TXT"
refused "link to nothing" "(75) .*FPS.TXT: it is a symbolic link, which is never followed"
[ ! -e "$WORK/nowhere" ] || fail "the link's target was made"
rm "$drive/FPS.TXT" && mkfifo "$drive/FPS.TXT"
refused FIFO "(75) Path/file access error: .*FPS.TXT: it is not a regular file"
rm "$drive/FPS.TXT" && ln "$WORK/outside" "$drive/FPS.TXT"
refused "hard link" "(75) .*FPS.TXT: it has other names (hard links), which emptying it would empty too"
[ "$(cat "$WORK/outside")" = keep ] || fail "the file's other name was emptied"
rm "$drive/FPS.TXT"

# A full disk: files of at most 128 bytes (the signal off, so a write is cut
# short instead), which the first second's lines of "1" CR LF cross in the
# middle of one; the server is the session's, outside the limit.
full=$WORK/quillon-full
printf '#!/bin/sh\ntrap "" XFSZ\nexec prlimit --fsize=128 wine "%s" "$@"\n' "$QUILLON_EXE" >"$full"
chmod +x "$full"
QUILLON=$full refused "full disk" "(61) Disk full: writing .*FPS.TXT: No space left on device" \
  QUILLON_KEYS="$(windows_path "$WORK/hold.keys")"
check_log "$drive/FPS.TXT"
note "full disk: the log keeps $(log_lines "$drive/FPS.TXT") whole lines"

# The host's own log file is refused by the same rules and words; the run goes on.
host_log=$DRIVE_C/users/$(id -un)/AppData/Local/Quillon/quillon.log
rm -rf "$host_log" && mkdir -p "$host_log"
out=$(QUILLON_KEYS="$(windows_path "$WORK/end.keys")" timeout 60 wine "$QUILLON_EXE" 2>&1) &&
  grep -q "no log file: cannot write .*quillon.log: it is a folder, not a file" <<<"$out" ||
  fail "a folder as the host's log: $out"
rmdir "$host_log"
echo PASS
