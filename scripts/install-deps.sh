#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Safe to run again: it only installs what is missing.
#
#   scripts/install-deps.sh            the Linux build, tests and program
#   scripts/install-deps.sh --windows  also the cross compiler for quillon.exe
#                                      and Wine to run it (a few minutes more)
#   scripts/install-deps.sh --web      also emscripten for the browser build, and
#                                      headless Chromium with the DevTools
#                                      protocol's client to test it
# The options combine: scripts/install-deps.sh --windows --web.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-dev
  libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
  libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core libx11-dev libgl-dev libegl-dev libepoxy-dev
  libxfixes-dev libhwy-dev
  xvfb xdotool x11-utils x11-xserver-utils x11-apps xfonts-base imagemagick
  desktop-file-utils
  python3-venv
)
for option in "$@"; do
  case "$option" in
    --windows) packages+=(mingw-w64 wine wine64 icoutils) ;;
    # Debian's emscripten brings its compiler, binaryen and a prebuilt C
    # library: the build downloads nothing. The tests drive the browser from
    # Debian's Python (python3-websocket).
    --web) packages+=(emscripten googletest chromium-headless-shell python3-websocket) ;;
    *) echo "usage: $0 [--windows] [--web]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
