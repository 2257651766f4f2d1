#!/usr/bin/env bash
# One end-to-end case against the real saver on its own Xvfb display: e2e.sh CASE PATH-TO-TESMAR
set -uo pipefail
# shellcheck source=../support/glide.sh
source "$(dirname "$0")/../support/glide.sh"
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
case_name=$1
tesmar=$2
width=1024
height=768
# The two-monitor cases split one wide X screen into two monitors of that size.
screen_width=$width
case "$case_name" in
  two_monitors_covers_follow) screen_width=$((3 * width)) ;;
  two_monitors_*) screen_width=$((2 * width)) ;;
esac

for tool in Xvfb xdotool convert identify xrandr xsetroot; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
confdir=$XDG_CONFIG_HOME/tes-mar
cd "$work"

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# A display of our own, chosen by the server.
start_xvfb "${screen_width}x${height}" || fail "Xvfb did not start"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# Waits up to $1 seconds for a visible window whose name matches $2; prints its id.
wait_window() {
  local limit=$1 pattern=$2 i id
  for i in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Pixel of a picture file as "r,g,b".
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# Number of pixels that are neither black nor the frame's red, in a picture file.
coloured_pixels() {
  convert "$1" -fill black -opaque 'rgb(255,0,0)' -fill white +opaque black -format "%[fx:int(mean*w*h)]" info:
}

# Splits the screen into a left and a right monitor; $1 names the primary one (left or right).
# The server drops the first monitor request after its start now and then, so each is checked.
split_monitors() {
  local left=L right=R try
  if [ "$1" = right ]; then right='*R'; else left='*L'; fi
  for try in 1 2 3 4 5; do
    xrandr --setmonitor "$left" ${width}/270x${height}/203+0+0 none >/dev/null 2>&1
    xrandr --setmonitor "$right" ${width}/270x${height}/203+${width}+0 none >/dev/null 2>&1
    [ "$(xrandr --listmonitors | grep -cE '^ *[0-9]+: \*?[LR] ')" -eq 2 ] && return 0
    sleep 0.2
  done
  xrandr --listmonitors
  # Xvfb takes monitors only once a client has shown windows; the prober, if given, is such a client.
  if [ -n "${E2E_MONITOR_PROBER:-}" ] && [ -z "${probed:-}" ]; then
    probed=1
    # shellcheck disable=SC2086
    QT_QPA_PLATFORM=xcb timeout 20 $E2E_MONITOR_PROBER >/dev/null 2>&1
    split_monitors "$1"
    return
  fi
  echo "SKIP: this X server takes no monitors"
  exit 77
}

# Pixels of a rectangle WxH+X+Y of a picture file in colour $3 (default: any colour but black).
pixels_in() {
  if [ -n "${3:-}" ]; then
    convert "$1" -crop "$2" +repage -fill black +opaque "$3" -fill white -opaque "$3" -format "%[fx:int(mean*w*h)]" info:
  else
    convert "$1" -crop "$2" +repage -fill white +opaque black -format "%[fx:int(mean*w*h)]" info:
  fi
}

# The saver on the primary monitor at x offset $1, a black cover on the other at $2, and nothing of
# the green desktop anywhere.
check_monitors() {
  local box=$1 cover=$2 n
  import -window root "$work/shot.png" || fail "no screenshot"
  cp "$work/shot.png" "${E2E_SCREENSHOT:-/dev/null}" 2>/dev/null
  n=$(pixels_in "$work/shot.png" "${screen_width}x${height}+0+0" 'rgb(0,255,0)')
  [ "$n" -eq 0 ] || fail "$n pixels of the desktop show"
  [ "$(pixel "$work/shot.png" $((box + 1)) $((height / 2)))" = "255,0,0" ] || fail "no box on the primary monitor at $box"
  n=$(pixels_in "$work/shot.png" "${width}x${height}+${box}+0")
  [ "$n" -gt 200 ] || fail "the box shows too little ($n pixels)"
  n=$(pixels_in "$work/shot.png" "${width}x${height}+${cover}+0")
  [ "$n" -eq 0 ] || fail "the other monitor is not black ($n pixels)"
}

start_saver() {
  xdotool mousemove ${start_x:-500} ${start_y:-400}
  "$tesmar" /s >"$work/saver.log" 2>&1 &
  saver=$!
  pids+=($saver)
  sleep 3
  kill -0 "$saver" 2>/dev/null || { cat "$work/saver.log"; fail "the saver ended on its own"; }
}


# Starts the saver with SIGINT and SIGHUP at their defaults (a background job of a script ignores
# SIGINT, and the saver leaves an ignored signal ignored).
start_saver_with_signals() {
  xdotool mousemove 500 400
  env --default-signal=INT,HUP "$tesmar" /s >"$work/saver.log" 2>&1 &
  saver=$!
  pids+=($saver)
  sleep 3
  kill -0 "$saver" 2>/dev/null || { cat "$work/saver.log"; fail "the saver ended on its own"; }
}

case "$case_name" in
  saver_shows_box_and_balls)
    start_saver
    import -window root "$work/shot.png" || fail "no screenshot"
    cp "$work/shot.png" "${E2E_SCREENSHOT:-/dev/null}" 2>/dev/null
    # The red front edge along the left border and the rear wall's left edge near a quarter width.
    [ "$(pixel "$work/shot.png" 1 $((height / 2)))" = "255,0,0" ] || fail "no red front edge: $(pixel "$work/shot.png" 1 $((height / 2)))"
    n=$(coloured_pixels "$work/shot.png")
    [ "$n" -gt 200 ] || fail "no coloured balls or trails ($n pixels)"
    ;;
  enter_writes_picture)
    start_saver
    xdotool key Return
    for _ in $(seq 1 50); do [ -s "$confdir/tmp.bmp" ] && break; sleep 0.1; done
    [ -s "$confdir/tmp.bmp" ] || fail "no tmp.bmp in $confdir"
    size=$(identify -format "%wx%h" "$confdir/tmp.bmp") || fail "tmp.bmp is no picture"
    [ "$size" = "$((width - 1))x$((height - 1))" ] || fail "tmp.bmp is $size"
    [ "$(pixel "$confdir/tmp.bmp" 1 $((height / 2)))" = "255,0,0" ] || fail "tmp.bmp lacks the red edge"
    kill -0 "$saver" 2>/dev/null || fail "Enter ended the saver"
    ;;
  mouse_move_ends_and_saves)
    start_saver
    [ -s "$confdir/default.tmr" ] || fail "no starting state in default.tmr"
    cp "$confdir/default.tmr" "$work/start.tmr"
    lock_held || fail "the saver-running flag is not set while the saver runs"
    xdotool mousemove_relative 1 0
    wait_exit "$saver" 20 || fail "a one-pixel mouse move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    grep -q '^ball_N9_red_green_blue_0-255=' "$confdir/default.tmr" || fail "default.tmr is not whole"
    cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "default.tmr was not rewritten with the final state"
    lock_held && fail "the saver-running flag is still set"
    ;;
  second_instance_exits)
    start_saver
    timeout 10 "$tesmar" /s
    status=$?
    [ "$status" -eq 0 ] || fail "the second saver gave $status"
    kill -0 "$saver" 2>/dev/null || fail "the first saver ended"
    ;;
  preview_exits)
    timeout 10 "$tesmar" /p 1234
    status=$?
    [ "$status" -eq 0 ] || fail "/p 1234 gave $status"
    [ -e "$confdir/default.tmr" ] && fail "the preview ran the simulation"
    ;;
  config_dialog_ok_writes_settings)
    "$tesmar" /c >"$work/dialog.log" 2>&1 &
    dialog=$!
    pids+=($dialog)
    id=$(wait_window 20 "Tesmar v1.3") || { cat "$work/dialog.log"; fail "the dialog did not open"; }
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
    xdotool key --window "$id" Return
    wait_exit "$dialog" 20 || fail "OK did not close the dialog"
    [ "$status" -eq 0 ] || fail "exit code $status"
    ini=$confdir/tes-mar.ini
    [ -f "$ini" ] || fail "no tes-mar.ini"
    for kv in Speed=1 Frame_on=1 what_file=1 param_file=default.tmr; do
      grep -qx "$kv" <(tr -d '\r' <"$ini") || { cat "$ini"; fail "tes-mar.ini lacks $kv"; }
    done
    ;;
  signal_term_saves_final_state)
    write_glide_start "$confdir"
    start_saver_with_signals
    [ "$(glide_steps "$confdir")" = 0 ] || fail "default.tmr does not hold the starting state: $(grep N1_coord "$confdir/default.tmr")"
    lock_held || fail "the saver-running flag is not set while the saver runs"
    kill -TERM "$saver"
    wait_exit "$saver" 10 || fail "SIGTERM did not end the saver"
    [ "$status" -eq 143 ] || { cat "$work/saver.log"; fail "exit status $status, not death by SIGTERM"; }
    steps=$(glide_steps "$confdir") || fail "ball 1 did not glide a whole number of steps: $(grep N1_coord "$confdir/default.tmr")"
    [ "$steps" -ge 1 ] || fail "default.tmr still holds the starting state"
    lock_held && fail "the saver-running flag is still set"
    echo "steps run: $steps"
    ;;
  signal_int_hup_and_dialog_end_cleanly)
    for signal in INT HUP; do
      start_saver_with_signals
      cp "$confdir/default.tmr" "$work/start.tmr"
      kill -"$signal" "$saver"
      wait_exit "$saver" 10 || fail "SIG$signal did not end the saver"
      [ "$status" -eq $((128 + $(kill -l "$signal"))) ] || fail "SIG$signal: exit status $status"
      cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "SIG$signal: no final state in default.tmr"
      lock_held && fail "SIG$signal: the saver-running flag is still set"
    done
    # A signal the parent ignores stays ignored, as under nohup.
    env --ignore-signal=HUP "$tesmar" /s >"$work/saver.log" 2>&1 &
    saver=$!
    pids+=($saver)
    sleep 3
    kill -HUP "$saver"
    sleep 1
    kill -0 "$saver" 2>/dev/null || fail "an ignored SIGHUP ended the saver"
    kill -TERM "$saver"
    wait_exit "$saver" 10 || fail "SIGTERM did not end the saver"
    # The settings dialog ends as if cancelled.
    rm -f "$confdir/tes-mar.ini"
    "$tesmar" /c >"$work/dialog.log" 2>&1 &
    dialog=$!
    pids+=($dialog)
    wait_window 20 "Tesmar v1.3" >/dev/null || { cat "$work/dialog.log"; fail "the dialog did not open"; }
    kill -TERM "$dialog"
    wait_exit "$dialog" 10 || fail "SIGTERM did not end the dialog"
    [ "$status" -eq 143 ] || fail "dialog: exit status $status"
    [ -e "$confdir/tes-mar.ini" ] && fail "the dialog stored settings"
    ;;
  two_monitors_primary_left)
    split_monitors left
    xsetroot -solid '#00ff00'
    start_saver
    check_monitors 0 "$width"
    cp "$confdir/default.tmr" "$work/start.tmr"
    # Onto the cover of the right monitor.
    xdotool mousemove $((width + 500)) 400
    wait_exit "$saver" 20 || fail "a mouse move on the second monitor did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    grep -q '^ball_N9_red_green_blue_0-255=' "$confdir/default.tmr" || fail "default.tmr is not whole"
    cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "default.tmr was not rewritten with the final state"
    ;;
  two_monitors_primary_right)
    split_monitors right
    xsetroot -solid '#00ff00'
    # The window starts away from the desktop's origin: the mouse message at the starting spot,
    # which the window's showing brings, must not end the saver.
    start_x=$((width + 500)) start_saver
    check_monitors "$width" 0
    xdotool mousemove_relative -- -1 0
    wait_exit "$saver" 20 || fail "a one-pixel mouse move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    [ -s "$confdir/default.tmr" ] || fail "no default.tmr"
    ;;
  two_monitors_covers_follow)
    # A third monitor joins on the right while the saver runs; its cover follows, and ends the saver too.
    split_monitors left
    xsetroot -solid '#00ff00'
    start_saver
    xrandr --setmonitor T ${width}/270x${height}/203+$((2 * width))+0 none >/dev/null 2>&1
    n=1
    for _ in $(seq 1 50); do
      import -window root "$work/shot.png" || fail "no screenshot"
      n=$(pixels_in "$work/shot.png" "${screen_width}x${height}+0+0" 'rgb(0,255,0)')
      [ "$n" -eq 0 ] && break
      sleep 0.2
    done
    [ "$n" -eq 0 ] || fail "the new monitor shows the desktop ($n pixels)"
    xdotool mousemove $((2 * width + 500)) 400
    wait_exit "$saver" 20 || fail "a mouse move on the new monitor did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    ;;
  scaled_1.5_one_pixel_ends|scaled_2_one_pixel_ends)
    scale=${case_name#scaled_}
    export QT_SCALE_FACTOR=${scale%%_*}
    start_x=501 start_y=401 start_saver
    xdotool mousemove_relative 1 0
    wait_exit "$saver" 20 || fail "a one-pixel mouse move did not end the saver at scale $QT_SCALE_FACTOR"
    [ "$status" -eq 0 ] || fail "exit code $status"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
