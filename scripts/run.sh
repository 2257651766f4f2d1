#!/usr/bin/env bash
# Runs the saver full screen when there is a display, else renders a picture off screen.
set -euo pipefail
build=${1:-build/linux}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Running the saver full screen: move the mouse or press a key to end it, Enter saves tmp.bmp."
  exec "$build/tesmar" /s
fi
echo "No display: rendering off screen with tesmar-render."
exec "$build/tools/tesmar_render/tesmar-render"
