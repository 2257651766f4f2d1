#!/usr/bin/env bash
# One end-to-end case against the real saver on its own Xvfb display: e2e.sh CASE PATH-TO-TESMAR
set -uo pipefail
case_name=$1
tesmar=$2
width=1024
height=768

for tool in Xvfb xdotool convert identify; do
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
Xvfb -displayfd 5 -screen 0 ${width}x${height}x24 -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
display=""
for _ in $(seq 1 100); do
  display=$(head -1 "$work/display" 2>/dev/null)
  [ -n "$display" ] && break
  sleep 0.1
done
[ -n "$display" ] || fail "Xvfb did not start"
export DISPLAY=:$display
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# Waits up to $2 seconds for process $1 to end; its exit code lands in $status.
wait_exit() {
  local pid=$1 limit=$2 i
  for i in $(seq 1 $((limit * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

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

start_saver() {
  xdotool mousemove 500 400
  "$tesmar" /s >"$work/saver.log" 2>&1 &
  saver=$!
  pids+=($saver)
  sleep 3
  kill -0 "$saver" 2>/dev/null || { cat "$work/saver.log"; fail "the saver ended on its own"; }
}

# Settings that start the saver slowly from "glide.tmr": ball 1 glides by 0.5 per step on every axis
# from (200, 200, 300), far from eight tiny, nearly weightless balls at rest, so that its position
# tells how many steps ran.
write_glide_start() {
  mkdir -p "$confdir"
  printf '[tes-mar_ScreenSaver]\nSpeed=0\nFrame_on=1\nwhat_file=0\nparam_file=glide.tmr\n' >"$confdir/tes-mar.ini"
  {
    echo "[tes-mar_ScreenSaver]"
    echo "gravitation_constant=0.000001"
    echo "ball_density=0.001000"
    echo "ball_N1_speed_x_y_z=0.5 0.5 0.5"
    echo "ball_N1_coordinates_x_y_z=200 200 300"
    echo "ball_N1_radius=20"
    echo "ball_N1_mass=0.000001"
    for i in 2 3 4 5 6 7 8 9; do
      echo "ball_N${i}_speed_x_y_z=0.000001 0.000001 0.000001"
      echo "ball_N${i}_coordinates_x_y_z=$((400 + 60 * i)) 600 800"
      echo "ball_N${i}_radius=10"
      echo "ball_N${i}_mass=0.000001"
    done
  } >"$confdir/glide.tmr"
}

# How many whole steps ball 1 has glided in default.tmr; fails unless all three axes agree on one.
glide_steps() {
  local coordinates
  coordinates=$(tr -d '\r' <"$confdir/default.tmr" | sed -n 's/^ball_N1_coordinates_x_y_z=//p')
  [ -n "$coordinates" ] || return 1
  echo "$coordinates" | awk '{
    nx = ($1 - 200) * 2; ny = ($2 - 200) * 2; nz = ($3 - 300) * 2
    if (nx != int(nx) || nx != ny || nx != nz) exit 1
    print nx }'
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

lock_held() {
  # The saver-running flag is a lock on a file in XDG_RUNTIME_DIR.
  local f
  for f in "$XDG_RUNTIME_DIR"/*.lock; do
    [ -e "$f" ] || continue
    flock -n "$f" true || return 0
  done
  return 1
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
    write_glide_start
    start_saver_with_signals
    [ "$(glide_steps)" = 0 ] || fail "default.tmr does not hold the starting state: $(grep N1_coord "$confdir/default.tmr")"
    lock_held || fail "the saver-running flag is not set while the saver runs"
    kill -TERM "$saver"
    wait_exit "$saver" 10 || fail "SIGTERM did not end the saver"
    [ "$status" -eq 143 ] || { cat "$work/saver.log"; fail "exit status $status, not death by SIGTERM"; }
    steps=$(glide_steps) || fail "ball 1 did not glide a whole number of steps: $(grep N1_coord "$confdir/default.tmr")"
    [ "$steps" -ge 1 ] || fail "default.tmr still holds the starting state"
    grep -q '^ball_N9_red_green_blue_0-255=' "$confdir/default.tmr" || fail "default.tmr is not whole"
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
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
