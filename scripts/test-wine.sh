#!/usr/bin/env bash
# Builds the three Windows programs with mingw-w64 and runs the shared
# end-to-end cases of tests/cases/ on them under wine, in a throwaway wine
# prefix whose C: drive is the device.  Exits non-zero when a case fails.
#
#   scripts/test-wine.sh [--only CASE]
#
# Needs mingw-w64, wine, Xvfb and xdotool (installed here when missing and
# run as root), and the host build tools for the case driver.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

only=()
if [ "${1:-}" = "--only" ] && [ -n "${2:-}" ]; then
  only=(--only "$2")
fi

# --- packages ---------------------------------------------------------------
packages=(g++ cmake make libgtest-dev mingw-w64 wine wine64 xvfb xauth xdotool)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "test-wine: missing packages; install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "test-wine: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

# --- the Windows programs ---------------------------------------------------
win=build-mingw
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$win" -j"$jobs" --target qorvinstall Zandoval Vantrelo
bin="$root/$win/wine-bin"
mkdir -p "$bin"
cp "$win/installer/qorvinstall.exe" "$win/scanner/Zandoval.exe" "$win/menu/Vantrelo.exe" "$bin/"
x86_64-w64-mingw32-g++ -std=c++20 -Wall -Wextra -Werror -Os -municode -static -s \
  -o "$bin/wine_helper.exe" tests/wine/wine_helper.cpp
# The device's own steps of replacing a file, which no program here builds.
x86_64-w64-mingw32-g++ -std=c++20 -Wall -Wextra -Werror -Os -municode -static -s \
  -DUNICODE -D_UNICODE -D_WIN32_WCE -I. -o "$bin/device_replace_check.exe" \
  tests/wine/device_replace_check.cpp platform/win32/file_replace_win32.cpp \
  platform/win32/file_win32.cpp platform/wstr.cpp
echo "test-wine: program sizes (bytes):"
for exe in qorvinstall Zandoval Vantrelo; do
  printf '  %-16s %s\n' "$exe.exe" "$(stat -c %s "$bin/$exe.exe")"
done

# --- the case driver (a host program) ---------------------------------------
host=build-win-posix
cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=Debug -DCE_TESTS=ON >/dev/null
cmake --build "$host" -j"$jobs" --target wine_case_driver
driver="$root/$host/tests/wine/wine_case_driver"

# --- a throwaway wine prefix ------------------------------------------------
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ce-wine-XXXXXX")
export WINEPREFIX="$tmp/prefix" HOME="$tmp" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT

start=$(date +%s)
echo "test-wine: making the wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w

# Each screen size gets an X server of that size and a fresh wineserver, so
# the programs see that size as the device's screen.
mapfile -t screens < <(sed -n 's/^screen \([0-9]*x[0-9]*\)$/\1/p' tests/cases/*.case | sort -u)
screens+=(480x800)
mapfile -t screens < <(printf '%s\n' "${screens[@]}" | sort -u)

status=0
# Rooted paths name the current drive: the check runs on C:.
if ! (cd "$WINEPREFIX/drive_c" && wine "$bin/device_replace_check.exe"); then
  status=1
fi
wineserver -w
for screen in "${screens[@]}"; do
  echo "test-wine: cases for a ${screen} screen"
  if ! xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
      wineserver -p
      "$@"; rc=$?
      wineserver -k
      exit $rc' driver "$driver" --prefix "$WINEPREFIX" --bin "$bin" \
        --cases "$root/tests/cases" --screen "$screen" "${only[@]}"; then
    status=1
  fi
done
echo "test-wine: wine run took $(( $(date +%s) - start )) s"
if [ $status -ne 0 ]; then
  echo "test-wine: FAILED" >&2
fi
exit $status
