#!/usr/bin/env bash
# One end-to-end case against tesmar.scr under Wine on its own Xvfb display:
#   e2e_wine.sh CASE PATH-TO-TESMAR.SCR PATH-TO-TESMAR_WINE_PROBE.EXE [WINE-COMMAND...]
# The command that runs a Windows program defaults to `wine`; a 64-bit program needs the 64-bit
# loader, which `wine` does not pick while a 32-bit one is installed. The Wine prefix is $WINEPREFIX,
# else the "wineprefix" folder beside the program (made when missing).
set -uo pipefail
# shellcheck source=../support/glide.sh
source "$(dirname "$0")/../support/glide.sh"
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
case_name=$1
scr=$(readlink -f "$2")
probe=${3:+$(readlink -f "$3")}
wine=("${@:4}")
[ ${#wine[@]} -gt 0 ] || wine=(wine)
width=1024
height=768

for tool in "${wine[0]}" wineserver Xvfb xdotool convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: missing $tool"; exit 77; }
done

export WINEPREFIX=${WINEPREFIX:-$(dirname "$scr")/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
windir=$WINEPREFIX/drive_c/windows

work=$(mktemp -d)
cd "$work"
pids=()
# Ends every program of the prefix and waits until its server is gone: a new program that reached a
# dying server would find the last saver's claim still held and end at once.
stop_wine() {
  timeout 20 wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
}
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -s "$work/status" ] && echo "the saver ended with $(cat "$work/status")"
  [ -s "$work/saver.log" ] && { echo "its output:"; cat "$work/saver.log"; }
  exit 1
}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  timeout 300 "${wine[@]}" wineboot -i >/dev/null 2>&1 || fail "wineboot did not finish"
fi

start_xvfb "${width}x${height}" || fail "Xvfb did not start"
# The prefix's server may still serve another display; this case starts its own.
stop_wine
xdotool mousemove $((width / 2)) $((height / 2))

# Starts the saver with the given arguments in the background; $saver is running while it runs,
# and its exit code is written to $work/status when it ends.
start() {
  rm -f "$work/status"
  (
    "${wine[@]}" "$scr" "$@" >"$work/saver.log" 2>&1
    echo $? >"$work/status"
  ) &
  saver=$!
  pids+=("$saver")
}

# Waits up to $1 seconds for the saver to end; its exit code lands in $status.
wait_exit() {
  wait_for "$1" test -s "$work/status" || return 1
  status=$(cat "$work/status")
  return 0
}

# Prints the id of a window named $2 that appears within $1 seconds.
wait_window() {
  local limit=$1 name=$2 id=""
  for _ in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# How many pixels of column $2 of image $1 are pure red.
red_in_column() {
  convert "$1" -crop "1x$(identify -format %h "$1")+$2+0" +repage -format %c histogram:info: 2>/dev/null |
    awk '/#FF0000/ {sub(":", "", $1); print $1; found = 1} END {if (!found) print 0}'
}

# The box's left front edge: red down most of the picture's column 1, whatever trails cross it.
shows_left_edge() { [ "$(red_in_column "$1" 1)" -gt $(($2 / 2)) ]; }

# True once the screen shows the box's red edge and balls of several colours.
screen_shows_scene() {
  import -window root "$work/screen.png" 2>/dev/null || return 1
  shows_left_edge "$work/screen.png" "$height" || return 1
  local colours
  colours=$(convert "$work/screen.png" -format %k info: 2>/dev/null)
  [ "${colours:-0}" -gt 8 ]
}

saver_window() { wait_window 30 tes_mar_ScreenSaver; }

# The probe speaks for the system and for other programs.
probe() {
  [ -n "$probe" ] || { echo "SKIP: no probe program"; exit 77; }
  "${wine[@]}" "$probe" "$@"
}

# Runs tesmar.scr with the given arguments beside the saver and prints its exit code; fails when it
# has not ended within 20 seconds.
run_beside() {
  local out=$work/beside.status
  rm -f "$out"
  # Its output goes elsewhere, or the command substitution around this would wait for it to end.
  ( "${wine[@]}" "$scr" "$@"; echo $? >"$out" ) >/dev/null 2>&1 &
  pids+=($!)
  wait_for 20 test -s "$out" || return 1
  cat "$out"
}

# Starts the saver from the gliding ball and waits until it runs; leaves its settings behind.
start_gliding_saver() {
  write_glide_start "$windir"
  rm -f "$windir/default.tmr"
  start /s
  saver_window >/dev/null || fail "no saver window"
  wait_for 20 test -s "$windir/default.tmr" || fail "no starting state in default.tmr"
  [ "$(glide_steps "$windir")" = 0 ] || fail "default.tmr does not hold the starting state"
  # Speed 0 is one step in a tenth of a second.
  sleep 3
}

# default.tmr is whole, and ball 1 in it has glided a whole number of steps, at least one.
check_final_state() {
  local steps
  steps=$(glide_steps "$windir") || fail "ball 1 did not glide a whole number of steps: $(grep N1_coord "$windir/default.tmr")"
  [ "$steps" -ge 1 ] || fail "default.tmr still holds the starting state"
  echo "steps run: $steps"
}

case "$case_name" in
  saver_shows_box_and_balls)
    start /s
    saver_window >/dev/null || fail "no saver window"
    wait_for 40 screen_shows_scene || fail "the screen shows no box edges and balls"
    [ ! -e "$work/status" ] || fail "the saver ended by itself"
    ;;

  enter_writes_picture)
    rm -f "$windir/tmp.bmp"
    start /s
    window=$(saver_window) || fail "no saver window"
    wait_for 40 screen_shows_scene || fail "the saver draws nothing"
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key Return
    wait_for 20 test -s "$windir/tmp.bmp" || fail "Enter wrote no tmp.bmp"
    sleep 1
    [ ! -e "$work/status" ] || fail "Enter ended the saver"
    # One pixel smaller than the screen each way, 24 bits, rows padded to four bytes.
    row=$(( ((width - 1) * 3 + 3) / 4 * 4 ))
    expected=$((54 + row * (height - 1)))
    size=$(stat -c %s "$windir/tmp.bmp")
    [ "$size" -eq "$expected" ] || fail "tmp.bmp has $size bytes, not $expected"
    cp "$windir/tmp.bmp" "$work/picture.bmp"
    [ "$(identify -format %wx%h "$work/picture.bmp")" = "$((width - 1))x$((height - 1))" ] || fail "wrong picture size"
    shows_left_edge "$work/picture.bmp" $((height - 1)) || fail "no red box edge in the picture"
    # The rear wall's top edge crosses the middle column a quarter of the way down.
    [ "$(red_in_column "$work/picture.bmp" $((width / 2)))" -gt 0 ] || fail "no rear wall in the picture"
    colours=$(convert "$work/picture.bmp" -format %k info:)
    [ "$colours" -gt 8 ] || fail "the picture shows no balls ($colours colours)"
    ;;

  mouse_move_ends_and_saves)
    start /s
    window=$(saver_window) || fail "no saver window"
    wait_for 40 screen_shows_scene || fail "the saver draws nothing"
    cp "$windir/default.tmr" "$work/start.tmr" || fail "no default.tmr at the start"
    xdotool mousemove_relative 1 0
    wait_exit 20 || fail "a one-pixel mouse move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    grep -q "^ball_N9_red_green_blue_0-255=" "$windir/default.tmr" || fail "default.tmr is not a whole parameter file"
    cmp -s "$work/start.tmr" "$windir/default.tmr" && fail "default.tmr was not rewritten with the final state"
    ;;

  preview_exits)
    for args in "/p 1234" "/l:1234"; do
      # shellcheck disable=SC2086
      start $args
      wait_exit 15 || fail "$args did not end at once"
      [ "$status" -eq 0 ] || fail "$args: exit code $status"
    done
    [ -z "$(xdotool search --onlyvisible --name '^tes_mar_ScreenSaver$' 2>/dev/null)" ] || fail "a preview showed a window"
    ;;

  # Wine's password provider is a stub that returns at once; an unknown switch does nothing.
  password_change_and_unknown_switch_exit)
    for args in "/a:1234" "/x"; do
      # shellcheck disable=SC2086
      start $args
      wait_exit 15 || fail "$args did not end"
      [ "$status" -eq 0 ] || fail "$args: exit code $status"
    done
    ;;

  config_dialog_ok_writes_settings)
    rm -f "$windir/tes-mar.ini"
    start /c
    dialog=$(wait_window 30 "Tesmar v1.3") || fail "no settings dialog"
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool key Return
    wait_exit 20 || fail "OK did not end the program"
    [ "$status" -eq 0 ] || fail "exit code $status"
    tr -d '\r' <"$windir/tes-mar.ini" >"$work/settings"
    for line in "Speed=1" "Frame_on=1" "what_file=1" "param_file=default.tmr"; do
      grep -qx "$line" "$work/settings" || fail "tes-mar.ini lacks $line: $(cat "$work/settings")"
    done
    ;;

  config_dialog_escape_writes_nothing)
    rm -f "$windir/tes-mar.ini"
    start /c
    dialog=$(wait_window 30 "Tesmar v1.3") || fail "no settings dialog"
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    xdotool key Escape
    wait_exit 20 || fail "Escape did not end the program"
    [ "$status" -eq 0 ] || fail "exit code $status"
    [ ! -e "$windir/tes-mar.ini" ] || fail "Escape wrote tes-mar.ini"
    ;;

  # On Windows NT the system sets its screen-saver flag for the saver it starts; that saver runs, and
  # while it runs no second saver and no settings dialog of this program start.
  system_flag_set_starts_one_saver)
    probe flag set || fail "the probe cannot set the flag"
    start /s
    saver_window >/dev/null || fail "the saver refused the system's own start"
    wait_for 40 screen_shows_scene || fail "the saver draws nothing"
    second=$(run_beside /s) || fail "a second saver runs beside the first"
    [ "$second" -eq 0 ] || fail "the second saver gave $second"
    dialog=$(run_beside /c) || fail "the settings dialog opened while the saver runs"
    [ "$dialog" -eq 0 ] || fail "the settings dialog gave $dialog"
    [ ! -e "$work/status" ] || fail "the first saver ended"
    xdotool mousemove_relative 1 0
    wait_exit 20 || fail "a one-pixel mouse move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    # Its claim went with it: the next start runs.
    probe flag set
    start /s
    saver_window >/dev/null || fail "a saver that ended still blocks the next"
    xdotool mousemove_relative -- -1 0
    wait_exit 20 || fail "the second run did not end"
    probe flag clear
    ;;

  # Once WM_ENDSESSION returns the system may end the process at once: the final state is saved by then.
  end_of_session_saves_final_state)
    start_gliding_saver
    probe end-session || fail "the end of the session did not reach the saver"
    wait_exit 20 || fail "the saver still runs"
    check_final_state
    ;;

  close_from_another_process_saves)
    start_gliding_saver
    probe close || fail "no saver window to close"
    wait_exit 20 || fail "WM_CLOSE from another process did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    check_final_state
    ;;

  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
