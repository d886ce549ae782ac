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
export WINEPREFIX=$BUILD_DIR/test-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The program ends its process with its device alive, as it may (its form
# keeps a font and a vertex buffer that hold it). Wine's Direct3D then still
# has its command thread inside Mesa's OpenGL, and ending that thread races
# with libglvnd's own teardown at exit: about one run in fifteen died with
# SIGSEGV (status 139), or an assertion in GLdispatch.c, after the program
# had ended in order. Without that thread (csmt=0) the OpenGL calls are made
# by the exiting thread itself, and no run has failed so.
export WINE_D3D_CONFIG=csmt=0
export DISPLAY=":$(cat "$BUILD_DIR/session/display")"
DRIVE_C=$WINEPREFIX/drive_c
# start_quillon (tests/e2e/lib.sh) runs the exe through Wine, which ends with
# the program's own status.
QUILLON=$WORK/quillon-exe
printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$QUILLON_EXE" >"$QUILLON"
chmod +x "$QUILLON"

# A Windows path for a file of this system (drive Z: is the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
