#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when
# any is missing.  Usage: scripts/setup.sh [build|test]
#   build: compiler, CMake, GTK 3 headers (enough for the demo and an install)
#   test:  also GoogleTest, Xvfb, xdotool and the Windows cross build with wine
set -euo pipefail

level=${1:-test}
packages=(g++ cmake make pkg-config libgtk-3-dev)
if [ "$level" = test ]; then
  packages+=(googletest libgtest-dev xvfb xauth xdotool x11-utils imagemagick
             mingw-w64 wine wine64 findutils procps)
fi

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
