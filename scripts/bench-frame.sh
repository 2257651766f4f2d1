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
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
unset WAYLAND_DISPLAY
# shellcheck source=../tests/support/xvfb.sh
source "$root/tests/support/xvfb.sh"

echo "Frame of the saver window (median of $iterations) against one plain copy of a 1920x1080 frame; on X also"
echo "against one copy plus one shared-memory put of the screen's frame. allocs: heap allocations per frame;"
echo "fps: frames run unpaced. Off screen, the two ratios the frame is held to follow the table."
printf "%-9s %-9s  %9s %9s %6s  %9s %6s  %7s %8s\n" platform size "frame us" copy1080 f/copy copy+put f/c+p allocs fps
# Qt reads the off-screen screen's size once, at start: every size is a run of its own. Each run is
# bounded, so a display that never answers cannot stall the script for long.
run() { timeout 90 "$bench" --size "$1" --iterations "$iterations" --fps-seconds "$fps_seconds" "${@:2}"; }
for size in ${sizes//,/ }; do
  run "$size" --platform offscreen | tee -a "$work/offscreen"
done
for size in ${sizes//,/ }; do
  start_xvfb "$size" || { echo "bench-frame: Xvfb did not start for $size" >&2; exit 1; }
  run "$size" --platform xcb
  kill "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null || true
done

# The two figures the frame is held to: a 1920x1080 frame against one copy of it, and a 3840x2160
# frame against a 1920x1080 one.
awk '$2 == "1920x1080" {full = $3; printf "1920x1080 frame / one 1920x1080 copy: %.2f (goal 0.5 at most)\n", $5}
     $2 == "3840x2160" {large = $3}
     END {if (full && large) printf "3840x2160 frame / 1920x1080 frame:    %.2f (goal 1.5 at most)\n", large / full}' \
  "$work/offscreen"
