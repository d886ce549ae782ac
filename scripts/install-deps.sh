#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
# Safe to run again: it only installs what is missing.
#
#   scripts/install-deps.sh            the Linux build, tests and program
#   scripts/install-deps.sh --windows  also the cross compiler for quillon.exe
#                                      and Wine to run it (a few minutes more)
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
case "${1:-}" in
  "") ;;
  --windows) packages+=(mingw-w64 wine wine64 icoutils) ;;
  *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac

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
