#!/usr/bin/env bash
# Makes docs/vantrelo-menu.png: the menu of the README's Vantrelo example
# (VantreloTools.ini, taken from the README itself) at the pointer, at its
# real size, on a bare X server.
#
#   docs/make-screenshot.sh [VANTRELO] [CEDEVICE]
#
# The programs default to those of the README's build (build/).  Needs
# Xvfb, xdotool and ImageMagick (scripts/setup.sh test).
set -euo pipefail
cd "$(dirname "$0")/.."
vantrelo=$(realpath "${1:-build/menu/Vantrelo}")
cedevice=$(realpath "${2:-build/cedevice/cedevice}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$vantrelo" "$work/Vantrelo"
sed -n '/^cat > ~\/.local\/bin\/VantreloTools.ini/,/^EOF$/p' README.md | sed '1d;$d' \
  >"$work/VantreloTools.ini"
grep -q '^\[Menus\]' "$work/VantreloTools.ini" || { echo "no menu file in README.md" >&2; exit 1; }
"$cedevice" create --sample "$work/device"

export work
xvfb-run -a -s "-screen 0 640x400x24" bash -c '
  set -euo pipefail
  export CE_DEVICE_DIR="$work/device" NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory HOME="$work"
  xdotool mousemove 24 20
  "$work/Vantrelo" -Tools &
  window=$(xdotool search --sync --onlyvisible --class Vantrelo | head -n 1)
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$window")"
  import -window root "$work/screen.png"
  # The menu and a margin of the (black) screen around it.
  convert "$work/screen.png" -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" +repage \
    docs/vantrelo-menu.png
  kill %1 2>/dev/null || true
  wait || true
'
echo "docs/vantrelo-menu.png: $(identify -format '%wx%h' docs/vantrelo-menu.png)"
