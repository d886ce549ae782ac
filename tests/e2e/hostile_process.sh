#!/usr/bin/env bash
# The program and the replay tool started in a hostile process: standard
# descriptors closed, a file-size limit, a reader that goes away. Each ends
# with one clear message and its own status, its files whole.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY
: "${REPLAY:?the replay tool}"
cd "$WORK" || fail "no work folder"
printf '600\n1 ESCAPE\n' >keys  # a log of more than 1 KiB
printf '2\n1 ESCAPE\n' >short.keys

# Standard error closed: the descriptor is /dev/null, not the next file the
# program opens (the log would receive its messages).
printf '100000\n' >hold.keys
QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys" "$QUILLON" 2>&- &
pid=$!
STARTED_PIDS+=("$pid")
wait_for 30 test -s FPS.TXT || fail "no log"
[ "$(readlink "/proc/$pid/fd/2")" = /dev/null ] || fail "descriptor 2 is $(readlink "/proc/$pid/fd/2")"
kill -TERM "$pid"
wait "$pid"
note "stderr closed: descriptor 2 is /dev/null"

# A file-size limit: the log's write fails with the system's reason, status
# 1, and the log keeps whole lines only.
status=0
(ulimit -f 1 && exec env QUILLON_DRIVE_C="$WORK" QUILLON_KEYS=keys QUILLON_LOG_LEVEL=error \
  "$QUILLON") >out 2>err || status=$?
[ "$status" = 1 ] || fail "size limit: status $status: $(cat err)"
grep -qx "quillon: (61) Disk full: writing $WORK/FPS.TXT: File too large (drive C is QUILLON_DRIVE_C=$WORK)" err ||
  fail "size limit: $(cat err)"
check_log FPS.TXT
note "size limit: $(cat err)"

# The replay tool under the same limit keeps no temporary picture.
env QUILLON_DRIVE_C="$WORK" QUILLON_KEYS=short.keys QUILLON_LOG_LEVEL=error QUILLON_TRACE_FRAMES=1 \
  QUILLON_TRACE="$WORK/t.scene" "$QUILLON" || fail "trace: status $?"
status=0
(ulimit -f 4 && exec "$REPLAY" t.scene o.png) >out 2>err || status=$?
[ "$status" = 1 ] && grep -qx 'quillon-replay: o.png: File too large' err ||
  fail "replay under a size limit: status $status: $(cat err)"
[ -z "$(ls -A | grep '^\.o\.png')" ] || fail "a temporary picture is left: $(ls -A)"
note "replay under a size limit: $(cat err)"

# A reader that goes at once: the messages are lost, the program is not.
status=0
env QUILLON_DRIVE_C="$WORK" QUILLON_KEYS=short.keys "$QUILLON" 2>&1 | true
status=${PIPESTATUS[0]}
[ "$status" = 0 ] || fail "stderr to a closed pipe: status $status"
check_log FPS.TXT
note "stderr to a closed pipe: status 0"

# A termination signal while the picture is written waits for it: the
# picture is whole and no temporary file is left. (strace holds the write's
# sync long enough for the signal to come.)
if command -v strace >/dev/null; then
  strace -f -o /dev/null -e inject=fsync:delay_enter=2000000 "$REPLAY" t.scene sig.png &
  tracer=$!
  STARTED_PIDS+=("$tracer")
  wait_for 20 sh -c "ls -A | grep -q '^\.sig\.png\.'" || fail "no temporary picture appeared"
  kill -TERM "$(pgrep -P "$tracer")"
  status=0
  wait "$tracer" || status=$?
  [ "$status" = 143 ] || fail "SIGTERM while writing: status $status"
  [ -s sig.png ] && ! ls -A | grep -q '^\.sig\.png\.' || fail "SIGTERM while writing: $(ls -A)"
  note "SIGTERM while the picture is written: the picture whole, no temporary file"
fi

# Memory that runs out while a scene is read: one message, status 1.
truncate -s 200M big.bin && printf 'vb 24 4 1 big.bin\n' >big.scene
status=0
(ulimit -v 250000 && exec "$REPLAY" big.scene big.png) >out 2>err || status=$?
[ "$status" = 1 ] && grep -qx 'quillon-replay: big.scene: out of memory' err ||
  fail "out of memory: status $status: $(cat err)"
note "out of memory: $(cat err)"
# ...and while the cloud is drawn on 64 threads: a helper's failure is the
# program's one report, as with one thread.
status=0
(ulimit -v 200000 && exec env QUILLON_DRIVE_C="$WORK" QUILLON_KEYS=keys QUILLON_THREADS=64 \
  QUILLON_DEVICE=ref QUILLON_LOG_LEVEL=error "$QUILLON") >out 2>err || status=$?
[ "$status" = 1 ] && grep -qx 'quillon: (7) Out of memory' err ||
  fail "out of memory on 64 threads: status $status: $(cat err)"

# One signal ends the program even while it is blocked: here in writing its
# report to a pipe that is full and never read (and with SIGALRM ignored by
# the parent, as it may be).
mkfifo full && exec 7<>full || fail "no pipe"
head -c 65536 /dev/zero >&7 # the pipe's whole capacity
mkdir folder
(trap '' ALRM && QUILLON_DRIVE_C="$WORK" QUILLON_KEYS="$WORK/hold.keys" QUILLON_LOG_LEVEL=error \
  QUILLON_TRACE="$WORK/folder" exec "$QUILLON") 2>&7 &
pid=$!
STARTED_PIDS+=("$pid")
wait_for 30 test -s FPS.TXT || fail "no log"
sleep 0.5
kill -TERM "$pid"
wait_for 20 sh -c "! kill -0 $pid" || fail "one SIGTERM did not end a blocked program"
exec 7>&-
note "blocked: one SIGTERM ends it"
echo PASS
