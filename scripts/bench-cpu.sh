#!/usr/bin/env bash
# Measures what the running saver costs: on an Xvfb display of 1920x1080 it runs `tesmar /s` at each
# speed for a few seconds and prints the saver's and the X server's CPU (CPU-seconds per wall-second,
# from /proc/PID/stat) and the frames per second; then the same for fluidballs from the Linux hosts'
# collection, measured in the same run as a yardstick.
# Usage: bench-cpu.sh [--seconds N] [--tesmar PROGRAM] [--wine TESMAR.SCR] [--speeds "0 1 2"] [--no-fluidballs]
#   --tesmar  measure this program instead of build/linux/tesmar (built when missing)
#   --wine    measure the Windows program under Wine instead (prefix: $WINEPREFIX, else "wineprefix"
#             beside the program, made when missing)
# Frames are counted from outside: the saver starts from a parameter file in which one ball glides at
# exactly 1/64 pixel per frame and nothing else moves, and its final position in default.tmr gives the
# number of simulation steps. fluidballs' frames are counted by a preloaded library that counts its
# buffer swaps (XdbeSwapBuffers, or XCopyArea when the server has no double-buffer extension).
set -euo pipefail

seconds=10
speeds="0 1 2"
program=""
scr=""
fluidballs=/usr/libexec/xscreensaver/fluidballs
with_fluidballs=1
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --speeds) speeds=$2; shift 2 ;;
    --tesmar) program=$(readlink -f "$2"); shift 2 ;;
    --wine) scr=$(readlink -f "$2"); shift 2 ;;
    --no-fluidballs) with_fluidballs=0; shift ;;
    *) echo "usage: bench-cpu.sh [--seconds N] [--tesmar PROGRAM] [--wine TESMAR.SCR] [--speeds LIST] [--no-fluidballs]" >&2
       exit 2 ;;
  esac
done
case "$seconds" in ''|*[!0-9]*|0) echo "bench-cpu: --seconds takes a whole number above 0" >&2; exit 2 ;; esac
for speed in $speeds; do
  case "$speed" in 0|1|2) ;; *) echo "bench-cpu: a speed is 0, 1 or 2, not '$speed'" >&2; exit 2 ;; esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/support/xvfb.sh
source "$root/tests/support/xvfb.sh"
for tool in Xvfb xdotool cc; do
  command -v "$tool" >/dev/null || { echo "bench-cpu: missing $tool (scripts/install-deps.sh linux bench)" >&2; exit 1; }
done
if [ $with_fluidballs -eq 1 ] && [ ! -x "$fluidballs" ]; then
  echo "bench-cpu: $fluidballs is missing (scripts/install-deps.sh bench); --no-fluidballs leaves it out" >&2
  exit 1
fi
if [ -n "$scr" ]; then
  command -v wine >/dev/null || { echo "bench-cpu: missing wine" >&2; exit 1; }
elif [ -z "$program" ]; then
  (cd "$root" && cmake --preset linux >/dev/null && cmake --build build/linux --target tesmar -j2 >/dev/null)
  program=$root/build/linux/tesmar
fi

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$scr" ] && timeout 20 wineserver -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
unset WAYLAND_DISPLAY

clock_ticks=$(getconf CLK_TCK)
width=1920
height=1080

# utime + stime of a process, in clock ticks; the name in parentheses may hold blanks.
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  echo $(( ${12} + ${13} ))
}
now() { date +%s.%N; }

start_xvfb "${width}x${height}" || { echo "bench-cpu: Xvfb did not start" >&2; exit 1; }
xvfb=$xvfb_pid
xdotool mousemove $((width / 2)) $((height / 2))

# One ball glides along x at 1/64 pixel per step, exactly representable, so its position counts the
# steps; the others rest far from its path and a vanishing gravitation moves nobody.
write_glide_file() {
  {
    echo "[tes-mar_ScreenSaver]"
    echo "gravitation_constant=1e-30"
    echo "ball_density=0.001"
    echo "ball_N1_speed_x_y_z=0.015625 1e-30 1e-30"
    echo "ball_N1_coordinates_x_y_z=200 540 500"
    echo "ball_N1_radius=30"
    echo "ball_N1_mass=100"
    echo "ball_N1_red_green_blue_0-255=255 200 0"
    local i
    for i in 2 3 4 5 6 7 8 9; do
      echo "ball_N${i}_speed_x_y_z=1e-30 1e-30 1e-30"
      echo "ball_N${i}_coordinates_x_y_z=$((i * 190)) $(( i % 2 ? 200 : 880 )) $((200 + i * 60))"
      echo "ball_N${i}_radius=30"
      echo "ball_N${i}_mass=100"
      echo "ball_N${i}_red_green_blue_0-255=$((i * 25)) 80 $((255 - i * 25))"
    done
  } >"$1"
}

write_settings() {  # folder speed param-file
  printf '[tes-mar_ScreenSaver]\r\nSpeed=%s\r\nFrame_on=1\r\nwhat_file=0\r\nparam_file=%s\r\n' "$2" "$3" \
    >"$1/tes-mar.ini"
}

# Steps recorded in default.tmr: the glider's distance from its start, in 1/64 pixels.
steps_from() {
  local x
  x=$(sed -n 's/^ball_N1_coordinates_x_y_z=\([^ ]*\) .*/\1/p' "$1" | tr -d '\r')
  [ -n "$x" ] || { echo "bench-cpu: no glider position in $1" >&2; return 1; }
  awk -v x="$x" 'BEGIN { printf "%d", (x - 200) * 64 + 0.5 }'
}

results=()
report() {  # name speed cpu x-cpu fps
  results+=("$(printf '%-22s %-7s %10s %10s %9s' "$1" "$2" "$3" "$4" "$5")")
}
ratio() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { printf "%.4f", (a - b) / d }'; }

if [ -n "$scr" ]; then
  export WINEPREFIX=${WINEPREFIX:-$(dirname "$scr")/wineprefix}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making the Wine prefix $WINEPREFIX (once)" >&2
    timeout 600 wineboot -i >/dev/null 2>&1
  fi
  timeout 20 wineserver -k 2>/dev/null || true
  config=$WINEPREFIX/drive_c/windows
  glide_name=bench-glide.tmr
  name="tesmar.scr (Wine)"
else
  export XDG_CONFIG_HOME=$work/config
  # The running flag is a lock in the runtime folder: a saver of the user's own must not stop this one.
  export XDG_RUNTIME_DIR=$work/runtime
  config=$XDG_CONFIG_HOME/tes-mar
  mkdir -p "$config" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  glide_name=$work/glide.tmr
  name="tesmar /s"
fi
if [ -n "$scr" ]; then write_glide_file "$config/$glide_name"; else write_glide_file "$glide_name"; fi
# A Wine prefix may be the tests' own: its settings and state go back as they were.
for file in tes-mar.ini default.tmr; do
  if [ -f "$config/$file" ]; then cp "$config/$file" "$work/saved-$file"; fi
done

speed_names=(slow medium fast)
for speed in $speeds; do
  write_settings "$config" "$speed" "$glide_name"
  rm -f "$config/default.tmr"
  if [ -n "$scr" ]; then
    wine "$scr" /s >"$work/saver.log" 2>&1 &
  else
    "$program" /s >"$work/saver.log" 2>&1 &
  fi
  runner=$!
  pids+=("$runner")
  # Frames count from the moment the window shows, so the start-up time does not dilute them.
  wait_for 30 sh -c 'xdotool search --onlyvisible --name "" 2>/dev/null | grep -q .' ||
    { echo "bench-cpu: the saver showed no window" >&2; cat "$work/saver.log" >&2; exit 1; }
  started=$(now)
  # Under Wine the saver is the process that owns the window, not the one started here.
  # Under Wine the saver is the process that owns the window; where Wine's windows name no owner,
  # the loader started here has become the saver itself.
  saver=$runner
  if [ -n "$scr" ]; then
    owner=$(xdotool search --onlyvisible --name "" getwindowpid %@ 2>/dev/null | tail -1 || true)
    [ -n "$owner" ] && saver=$owner
    [ "$(tr -d '\0' <"/proc/$saver/cmdline" 2>/dev/null)" != "" ] ||
      { echo "bench-cpu: cannot tell which process runs the saver" >&2; exit 1; }
  fi
  sleep 1
  t0=$(now); c0=$(cpu_ticks "$saver"); x0=$(cpu_ticks "$xvfb")
  sleep "$seconds"
  t1=$(now); c1=$(cpu_ticks "$saver"); x1=$(cpu_ticks "$xvfb")
  # The last frame comes before the mouse move is seen; ending and the final save are no frames.
  ended=$(now)
  xdotool mousemove_relative 1 0
  if ! wait_for 30 sh -c "! kill -0 $runner 2>/dev/null"; then
    echo "bench-cpu: the saver did not end on the mouse move" >&2
    exit 1
  fi
  wait "$runner" 2>/dev/null || true
  xdotool mousemove $((width / 2)) $((height / 2))
  steps=$(steps_from "$config/default.tmr")
  wall=$(awk -v a="$t1" -v b="$t0" 'BEGIN { print a - b }')
  report "$name" "${speed_names[$speed]}" \
    "$(ratio "$c1" "$c0" "$(awk -v w="$wall" -v t="$clock_ticks" 'BEGIN { print w * t }')")" \
    "$(ratio "$x1" "$x0" "$(awk -v w="$wall" -v t="$clock_ticks" 'BEGIN { print w * t }')")" \
    "$(awk -v s="$steps" -v a="$ended" -v b="$started" 'BEGIN { printf "%.1f", s / (a - b) }')"
done
for file in tes-mar.ini default.tmr; do
  if [ -f "$work/saved-$file" ]; then cp "$work/saved-$file" "$config/$file"; else rm -f "$config/$file"; fi
done
if [ -n "$scr" ]; then rm -f "$config/$glide_name"; fi

if [ $with_fluidballs -eq 1 ]; then
  # Counts the frames in a shared file, so that it can be read while the program runs.
  cat >"$work/count_frames.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static volatile uint64_t* counter;

static void count_frame(void) {
  if (!counter) {
    const char* path = getenv("FRAME_COUNT_FILE");
    int fd = path ? open(path, O_RDWR) : -1;
    if (fd < 0) return;
    void* map = mmap(0, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return;
    counter = map;
  }
  __atomic_add_fetch(counter, 1, __ATOMIC_RELAXED);
}

int XdbeSwapBuffers(void* display, void* info, int count) {
  static int (*real)(void*, void*, int);
  if (!real) real = (int (*)(void*, void*, int))dlsym(RTLD_NEXT, "XdbeSwapBuffers");
  count_frame();
  return real(display, info, count);
}

int XCopyArea(void* display, unsigned long source, unsigned long target, void* gc, int x, int y,
              unsigned width, unsigned height, int tx, int ty) {
  static int (*real)(void*, unsigned long, unsigned long, void*, int, int, unsigned, unsigned, int, int);
  if (!real) real = (int (*)(void*, unsigned long, unsigned long, void*, int, int, unsigned, unsigned, int, int))
                        dlsym(RTLD_NEXT, "XCopyArea");
  count_frame();
  return real(display, source, target, gc, x, y, width, height, tx, ty);
}
EOF
  cc -O2 -shared -fPIC -o "$work/count_frames.so" "$work/count_frames.c" -ldl
  head -c 8 /dev/zero >"$work/frames"
  frames() { od -An -t u8 -N8 "$work/frames" | tr -d ' '; }
  FRAME_COUNT_FILE=$work/frames LD_PRELOAD=$work/count_frames.so "$fluidballs" -count 9 >"$work/fluid.log" 2>&1 &
  hack=$!
  pids+=("$hack")
  sleep 1
  t0=$(now); c0=$(cpu_ticks "$hack"); x0=$(cpu_ticks "$xvfb"); f0=$(frames)
  sleep "$seconds"
  t1=$(now); c1=$(cpu_ticks "$hack"); x1=$(cpu_ticks "$xvfb"); f1=$(frames)
  geometry=$(xdotool search --onlyvisible --classname fluidballs getwindowgeometry 2>/dev/null | sed -n 's/.*Geometry: //p' | head -1)
  kill "$hack" 2>/dev/null || true
  wait "$hack" 2>/dev/null || true
  wall=$(awk -v a="$t1" -v b="$t0" 'BEGIN { print a - b }')
  ticks=$(awk -v w="$wall" -v t="$clock_ticks" 'BEGIN { print w * t }')
  report "fluidballs -count 9" "${geometry:-?}" "$(ratio "$c1" "$c0" "$ticks")" "$(ratio "$x1" "$x0" "$ticks")" \
    "$(awk -v a="$f1" -v b="$f0" -v w="$wall" 'BEGIN { printf "%.1f", (a - b) / w }')"
fi

echo "On Xvfb ${width}x${height}, ${seconds} s each. CPU: CPU-seconds per wall-second (1 = one core busy)."
printf '%-22s %-7s %10s %10s %9s\n' "program" "speed" "CPU" "X server" "frames/s"
printf '%s\n' "${results[@]}"
