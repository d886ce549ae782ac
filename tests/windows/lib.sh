# Helpers of the Windows end-to-end tests, over those of tests/e2e/lib.sh:
# quillon.exe under Wine, in the session's prefix and on its X server
# (tests/windows/session.sh), and the Linux build's tools beside it.
#
# Expects: QUILLON_EXE, BUILD_DIR (the windows preset's build folder),
# QUILLON_SOURCE_DIR.
linux_build=$QUILLON_SOURCE_DIR/build/default
export PICTURE_TOOL=$linux_build/tests/picture_tool QUILLON_LINUX=$linux_build/main/quillon
source "$QUILLON_SOURCE_DIR/tests/e2e/lib.sh"
if [ ! -x "$PICTURE_TOOL" ] || [ ! -x "$QUILLON_LINUX" ]; then
  echo "SKIP: the default preset's quillon and picture_tool are not built"
  exit 77
fi
# Wine's default settings: its Direct3D runs its commands on a thread of its own.
export WINEPREFIX=$BUILD_DIR/test-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=":$(cat "$BUILD_DIR/session/display")"
DRIVE_C=$WINEPREFIX/drive_c
# start_quillon (tests/e2e/lib.sh) runs the exe through Wine, which ends with
# the program's own status.
QUILLON=$WORK/quillon-exe
printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$QUILLON_EXE" >"$QUILLON"
chmod +x "$QUILLON"

# A Windows path for a file of this system (drive Z: is the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
