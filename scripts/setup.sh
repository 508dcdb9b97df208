#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when
# any is missing.  Usage: scripts/setup.sh [build|windows|fuzz|test]
#   build:   compiler, CMake, GTK 3 headers, scdoc (the manual pages) and the
#            .deb tools (the demo, an install, the packages)
#   windows: CMake and mingw-w64 (the Windows programs and their .zip)
#   fuzz:    CMake and clang with its fuzzing runtime (scripts/fuzz.sh)
#   test:    build and windows, GoogleTest, Xvfb, xdotool, ImageMagick, wine,
#            man, bash-completion and lintian (the package's checker)
set -euo pipefail

level=${1:-test}
case "$level" in
  build) packages=(g++ cmake make pkg-config libgtk-3-dev scdoc dpkg-dev file) ;;
  windows) packages=(cmake make mingw-w64) ;;
  fuzz) packages=(cmake make clang libclang-rt-14-dev) ;;
  test)
    packages=(g++ cmake make pkg-config libgtk-3-dev scdoc dpkg-dev file mingw-w64
              googletest libgtest-dev xvfb xauth xdotool x11-utils imagemagick
              wine wine64 findutils procps man-db bash-completion lintian) ;;
  *) echo "usage: scripts/setup.sh [build|windows|fuzz|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
