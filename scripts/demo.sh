#!/usr/bin/env bash
# Builds the programs (in build/, as the README's install does) and installs
# the sample plugin into a copy of the sample device, showing the home
# screen's registry values, the run record and the layout file's change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh build
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs" >/dev/null
cedevice=$root/build/cedevice/cedevice

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CE_DEVICE_DIR="$work/device"
"$cedevice" create --sample "$CE_DEVICE_DIR"
layout="$CE_DEVICE_DIR/fs/Windows/qorvhome_480x800.cpr"
home='HKLM\SOFTWARE\Microsoft\CHome'

echo "A copy of the sample device: $CE_DEVICE_DIR (screen $(sed -n 's/^screen=//p' "$CE_DEVICE_DIR/device.conf"))"
echo
echo "=== the home screen's registry values before (cedevice get '$home')"
"$cedevice" get "$home"
cp "$layout" "$work/layout.before"

cmdline=(-addchange '-plg:\Program Files\Lorvendi\lorvendi.plg' -cpr:currentPortrait -silent)
echo
echo "=== qorvinstall ${cmdline[*]}"
status=0
"$root/build/installer/qorvinstall" "${cmdline[@]}" || status=$?
echo "exit status $status"

echo
echo "=== the home screen's registry values after"
"$cedevice" get "$home"
echo
echo "=== the run record (cedevice record qorvinstall)"
"$cedevice" record qorvinstall
echo
echo "=== \\Windows\\qorvhome_480x800.cpr: what the run changed ==="
diff -u "$work/layout.before" "$layout" | tail -n +3 || true
echo
echo "The plugin's block for a 480x800 screen now stands before the form's end, and"
echo "its name is in the home screen's order list after entry 1. Run the same"
echo "command again and the plugin is replaced in place."
