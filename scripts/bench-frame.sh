#!/usr/bin/env bash
# Builds tesmar-bench-frame and times the saver window's frame off screen and on an Xvfb display of
# each size. Usage: bench-frame.sh [WxH,...] [ITERATIONS]   (default the three sizes below, 150)
set -euo pipefail
sizes=${1:-1024x768,1920x1080,3840x2160}
iterations=${2:-150}
fps_seconds=2
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

for tool in cmake Xvfb timeout; do
  command -v "$tool" >/dev/null || { echo "bench-frame: missing $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
cmake --preset linux >/dev/null
cmake --build build/linux --target tesmar-bench-frame -j2 >/dev/null
bench=$root/build/linux/tools/bench_frame/tesmar-bench-frame
[ -x "$bench" ] || { echo "bench-frame: $bench was not built (libx11-dev, libxext-dev?)" >&2; exit 1; }

work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
unset WAYLAND_DISPLAY

echo "Frame of the saver window (median of $iterations) against one plain copy of a 1920x1080 frame; on X also"
echo "against one copy plus one shared-memory put of the screen's frame. allocs: heap allocations per frame;"
echo "fps: frames run unpaced. Off screen, the two ratios the frame is held to follow the table."
# Each run is bounded (about 20 s in all with the defaults), so a display that never answers cannot
# stall the script for more than a few minutes.
timeout 90 "$bench" --platform offscreen --size "$sizes" --iterations "$iterations" --fps-seconds "$fps_seconds"

for size in ${sizes//,/ }; do
  rm -f "$work/display"
  Xvfb -displayfd 5 -screen 0 "${size}x24" -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  display=""
  for _ in $(seq 1 100); do
    display=$(head -1 "$work/display" 2>/dev/null || true)
    [ -n "$display" ] && break
    sleep 0.1
  done
  [ -n "$display" ] || { echo "bench-frame: Xvfb did not start for $size" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  DISPLAY=:$display timeout 60 "$bench" --platform xcb --size "$size" --iterations "$iterations" \
    --fps-seconds "$fps_seconds" --no-header
  kill "$xvfb"
  wait "$xvfb" 2>/dev/null || true
  xvfb=""
done
