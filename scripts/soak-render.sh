#!/usr/bin/env bash
# Hours of running, compressed: tesmar-render runs the saver window's code for many frames and reports
# what it holds every CHECK frames. Its memory after the last frame must lie within 1 MB of its memory
# after frame CHECK, and its GDI and USER objects (Windows) must not be more than then.
# Usage: soak-render.sh [--frames N] [--check N] [TESMAR-RENDER [WINE-COMMAND...]]
#   Defaults: 1,000,000 frames, CHECK 10,000, build/ci's tesmar-render (built when missing). A .exe
#   runs under the Wine command (default: wine) with $WINEPREFIX, else the "wineprefix" folder of the
#   build folder it lies in (scripts/test-windows.sh makes it), on an Xvfb display of its own.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/support/xvfb.sh
source "$root/tests/support/xvfb.sh"
frames=1000000
check=10000
while [ $# -gt 0 ]; do
  case "$1" in
    --frames) frames=$2; shift 2 ;;
    --check) check=$2; shift 2 ;;
    *) break ;;
  esac
done
render=${1:-}
wine=("${@:2}")
if [ -z "$render" ]; then
  render=$root/build/ci/tools/tesmar_render/tesmar-render
  if [ ! -x "$render" ]; then
    (cd "$root" && cmake --preset ci >/dev/null && cmake --build build/ci -j2 --target tesmar-render >/dev/null) ||
      { echo "FAIL: tesmar-render did not build"; exit 1; }
  fi
fi
render=$(readlink -f "$render")

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  [ "${#wine[@]}" -gt 0 ] && timeout 20 wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

program=("$render")
if [[ "$render" == *.exe ]]; then
  [ ${#wine[@]} -gt 0 ] || wine=(wine)
  if [ -z "${WINEPREFIX:-}" ]; then
    folder=$(dirname "$render")
    while [ "$folder" != / ] && [ ! -f "$folder/wineprefix/system.reg" ]; do folder=$(dirname "$folder"); done
    export WINEPREFIX=$folder/wineprefix
  fi
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -f "$WINEPREFIX/system.reg" ] || fail "no Wine prefix in $WINEPREFIX: run scripts/test-windows.sh once"
  # Wine's windows need a display, though the renderer's stay hidden.
  start_xvfb 1024x768 || fail "Xvfb did not start"
  program=("${wine[@]}" "$render")
fi

# Settings and default.tmr in the run's own folder, where the file search finds them first.
printf '[tes-mar_ScreenSaver]\nwhat_file=1\n' >"$work/tes-mar.ini"
: >"$work/default.tmr"
(cd "$work" && XDG_CONFIG_HOME=$work/config "${program[@]}" --frames "$frames" --memory "$check" --seed 5 \
  --out picture.bmp) >"$work/run.log" 2>&1 || { cat "$work/run.log"; fail "tesmar-render failed"; }

# "frame N: memory M KB[, GDI objects G, USER objects U]"
sample() { tr -d '\r' <"$work/run.log" | grep "^frame $1: " | head -1; }
number() { sed -nE "s/.*$1 ([0-9-]+).*/\1/p"; }
first=$(sample "$check")
last=$(sample "$frames")
[ -n "$first" ] && [ -n "$last" ] || { cat "$work/run.log"; fail "no samples at frames $check and $frames"; }
echo "after $check frames: ${first#*: }"
echo "after $frames frames: ${last#*: }"
memory_first=$(number memory <<<"$first")
memory_last=$(number memory <<<"$last")
growth=$((memory_last - memory_first))
echo "memory grew by $growth KB"
status=0
[ "$memory_first" -gt 0 ] || { echo "FAIL: no memory figure"; status=1; }
[ "$growth" -le 1024 ] || { echo "FAIL: memory grew by more than 1 MB"; status=1; }
for objects in GDI USER; do
  before=$(number "$objects objects" <<<"$first")
  after=$(number "$objects objects" <<<"$last")
  [ -z "$before" ] && continue
  [ "$before" -gt 0 ] || { echo "FAIL: no $objects objects counted"; status=1; }
  [ "$after" -le "$before" ] || { echo "FAIL: $objects objects grew from $before to $after"; status=1; }
done
[ $status -eq 0 ] && echo "PASS: steady over $frames frames"
exit $status
