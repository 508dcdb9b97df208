#!/usr/bin/env bash
# Builds the programs and installs the sample plugin into a copy of the
# sample device in examples/device, showing the registry and the layout
# file before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh build
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=Release -DCE_TESTS=OFF -DCE_BENCH=OFF >/dev/null
cmake --build build-demo -j"$(nproc)" --target qorvinstall Zandoval >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r examples/device "$work/device"
export CE_DEVICE_DIR="$work/device"
layout="$CE_DEVICE_DIR/fs/Windows/qorvhome_480x800.cpr"

# registry.reg is UTF-16 with CRLF, as a device export is; show it as text.
registry_text() { iconv -f UTF-16 -t UTF-8 "$CE_DEVICE_DIR/registry.reg" | tr -d '\r'; }

echo "Sample device copied to $CE_DEVICE_DIR (screen $(sed -n 's/^screen=//p' "$CE_DEVICE_DIR/device.conf"))"
echo
echo "=== registry.reg before ==="
registry_text | tee "$work/registry.before"
cp "$layout" "$work/layout.before"

cmdline=(-addchange '-plg:\Program Files\Lorvendi\lorvendi.plg' -cpr:currentPortrait -silent)
echo
echo "=== qorvinstall ${cmdline[*]}"
status=0
"$root/build-demo/installer/qorvinstall" "${cmdline[@]}" || status=$?
echo "exit status $status"

echo
echo "=== registry.reg: what the run changed ==="
registry_text >"$work/registry.after"
diff -u "$work/registry.before" "$work/registry.after" | tail -n +3 || true
echo
echo "=== \\Windows\\qorvhome_480x800.cpr: what the run changed ==="
diff -u "$work/layout.before" "$layout" | tail -n +3 || true
echo
echo "The plugin's block for a 480x800 screen now stands before the form's end, its name"
echo "is in the home screen's order list after entry 1, and the run record"
echo "(HKEY_CURRENT_USER\\SOFTWARE\\QORV) says how the run went. Run the same command"
echo "again and the plugin is replaced in place."
