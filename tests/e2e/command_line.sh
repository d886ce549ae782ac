#!/usr/bin/env bash
# The host's command line behaves as Linux users expect (usage, version; a
# bad argument is a row of the messages' table), and `cmake --install` lays
# out the programs (stripped), their manual pages, a valid desktop entry, its
# icon and the licence, which the uninstall target takes away again.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY
: "${REPLAY:?the replay tool}" "${BUILD_DIR:?the build folder}"

cd "$WORK" || fail "no work folder"
"$QUILLON" --help >out 2>err || fail "--help: status $?"
grep -q '^usage: quillon' out || fail "--help prints no usage"
grep -q -- '--drive-c DIR, QUILLON_DRIVE_C=DIR' out || fail "--help does not list the settings"
[ ! -e FPS.TXT ] || fail "--help started the program"
"$QUILLON" --version >out || fail "--version: status $?"
grep -Eq '^quillon [0-9]+\.[0-9]+' out || fail "--version prints '$(cat out)'"
"$REPLAY" --version | grep -Eq '^quillon-replay [0-9]+\.[0-9]+' || fail "replay --version"
note "command line: usage and version as expected"

cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >install.log 2>&1 ||
  fail "cmake --install failed: $(cat install.log)"
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
cmake --build "$BUILD_DIR" --target uninstall >uninstall.log 2>&1 || fail "uninstall: $(cat uninstall.log)"
left=$(find prefix -type f)
[ -z "$left" ] || fail "uninstall left $left"
note "uninstall: $(grep -c 'Removed:' uninstall.log) files removed, none left"
echo PASS
