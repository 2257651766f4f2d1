#!/usr/bin/env bash
# One end-to-end case against tesmar.scr under Wine on its own Xvfb display, as strict as a Windows of
# today: the program runs as an ordinary user on a Wine prefix whose C:\windows that user cannot write.
#   e2e_wine.sh CASE PATH-TO-TESMAR.SCR PATH-TO-PROBE.EXE PATH-TO-TESMAR-RENDER.EXE [WINE-COMMAND...]
# The command that runs a Windows program defaults to `wine`; a 64-bit program needs the 64-bit
# loader, which `wine` does not pick while a 32-bit one is installed. Run as root, the cases run as the
# user tesmar-wine (made when missing); otherwise as the calling user. The prefix is that user's own,
# in /var/tmp, made once per loader and kept while the Wine version stays.
set -uo pipefail
# shellcheck source=../support/glide.sh
source "$(dirname "$0")/../support/glide.sh"
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
# shellcheck source=../support/test_user.sh
source "$(dirname "$0")/../support/test_user.sh"
case_name=$1
scr_built=$(readlink -f "$2")
probe_built=${3:+$(readlink -f "$3")}
render_built=${4:+$(readlink -f "$4")}
wine=("${@:5}")
# Only the loader: the user may not reach a wrapper script inside the build folder.
[ ${#wine[@]} -gt 0 ] && [[ "$(basename "${wine[-1]}")" == wine* ]] && wine=("${wine[-1]}") || wine=(wine)
width=1024
height=768

for tool in "${wine[0]}" wineserver Xvfb xdotool convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: missing $tool"; exit 77; }
done

pick_test_user tesmar-wine || { echo "FAIL: cannot create the user tesmar-wine"; exit 1; }
loader=$(basename "${wine[-1]}")
prefix=/var/tmp/tesmar-wineprefix-$owner-$loader
windir=$prefix/drive_c/windows
appdata=$prefix/drive_c/users/$owner/AppData/Roaming/tes-mar

# The user's scratch folder, which holds copies of the programs it can surely reach.
work=$(mktemp -d /tmp/tesmar-wine-XXXXXX)
chmod 755 "$work"
cp "$scr_built" "$work/tesmar.scr"
[ -n "$probe_built" ] && cp "$probe_built" "$work/probe.exe"
[ -n "$render_built" ] && cp "$render_built" "$work/tesmar-render.exe"
[ "$owner" != "$(id -un)" ] && chown -R "$owner" "$work"
scr=$work/tesmar.scr
cd "$work"

# Runs a command as the user, on its prefix, in a clean environment.
as_user() {
  local environment=(HOME="$work" USER="$owner" LOGNAME="$owner" PATH=/usr/bin:/bin DISPLAY="${DISPLAY:-}"
                     WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" ${WINEARCH:+WINEARCH=$WINEARCH})
  as_owner "${environment[@]}" "$@"
}

pids=()
# Ends every program of the prefix and waits until its server is gone: a new program that reached a
# dying server would find the last saver's claim still held and end at once.
stop_wine() {
  as_user timeout 20 wineserver -k 2>/dev/null
  as_user timeout 20 wineserver -w 2>/dev/null
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

# The prefix, made once: C:\windows read-only for the user, as on every Windows since Vista.
stamp=$("${wine[@]}" --version 2>/dev/null)
if [ ! -f "$prefix/system.reg" ] || [ "$(cat "$prefix/.tesmar-wine-version" 2>/dev/null)" != "$stamp" ]; then
  echo "making the Wine prefix $prefix for $owner"
  rm -rf "$prefix"
  mkdir -p "$prefix"
  [ "$owner" != "$(id -un)" ] && chown "$owner" "$prefix"
  case "$loader" in wine64) export WINEARCH=win64 ;; *) export WINEARCH=win32 ;; esac
  as_user timeout 600 "${wine[@]}" wineboot -i >/dev/null 2>&1 || fail "wineboot did not finish"
  as_user timeout 60 wineserver -w
  unset WINEARCH
  chmod -R a-w "$windir" || fail "cannot make C:\\windows read-only"
  echo "$stamp" >"$prefix/.tesmar-wine-version"
fi
# What an earlier case left in the user's folder goes; so does anything in C:\windows but the system's.
rm -rf "$appdata"
chmod u+w "$windir"
for name in tes-mar.ini default.tmr tmp.bmp glide.tmr; do rm -f "$windir/$name"; done
chmod a-w "$windir"
if as_user touch "$windir/tesmar-probe" 2>/dev/null; then
  rm -f "$windir/tesmar-probe"
  fail "the user $owner can write C:\\windows"
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
    as_user "${wine[@]}" "$scr" "$@" >"$work/saver.log" 2>&1
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
# How many windows with the saver's name show: the saver window, and any message box of it.
saver_windows() { xdotool search --onlyvisible --name '^tes_mar_ScreenSaver$' 2>/dev/null | wc -l; }

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
  [ -n "$probe_built" ] || { echo "SKIP: no probe program"; exit 77; }
  as_user "${wine[@]}" "$work/probe.exe" "$@"
}

# Runs tesmar.scr with the given arguments beside the saver and prints its exit code; fails when it
# has not ended within 20 seconds.
run_beside() {
  local out=$work/beside.status
  rm -f "$out"
  # Its output goes elsewhere, or the command substitution around this would wait for it to end.
  ( as_user "${wine[@]}" "$scr" "$@"; echo $? >"$out" ) >/dev/null 2>&1 &
  pids+=($!)
  wait_for 20 test -s "$out" || return 1
  cat "$out"
}

# Files the test puts into the user's folder belong to the user, as if the saver had made them.
give_to_user() { [ "$owner" != "$(id -un)" ] && chown -R "$owner" "$@"; return 0; }

# Starts the saver from the gliding ball and waits until it runs; leaves its settings behind.
start_gliding_saver() {
  write_glide_start "$appdata"
  give_to_user "$appdata"
  rm -f "$appdata/default.tmr"
  start /s
  saver_window >/dev/null || fail "no saver window"
  wait_for 20 test -s "$appdata/default.tmr" || fail "no starting state in default.tmr"
  [ "$(glide_steps "$appdata")" = "${1:-0}" ] || fail "default.tmr does not hold the starting state"
  # Speed 0 is one step in a tenth of a second.
  sleep 3
}

# default.tmr is whole, and ball 1 in it has glided a whole number of steps, at least one.
check_final_state() {
  local steps
  steps=$(glide_steps "$appdata") || fail "ball 1 did not glide a whole number of steps: $(grep N1_coord "$appdata/default.tmr")"
  [ "$steps" -ge 1 ] || fail "default.tmr still holds the starting state"
  echo "steps run: $steps"
}

# dialog_key KEY: presses KEY in a fresh settings dialog and checks that the program ends with 0.
dialog_key() {
  start /c
  dialog=$(wait_window 30 "Tesmar v1.3") || fail "no settings dialog"
  xdotool windowfocus --sync "$dialog" 2>/dev/null
  xdotool key "$1"
  wait_exit 20 || fail "$1 did not end the program"
  [ "$status" -eq 0 ] || fail "exit code $status"
}
dialog_ok() { dialog_key Return; }

# settings FILE LINE...: FILE holds every line given.
settings_hold() {
  local file=$1 line
  shift
  tr -d '\r' <"$file" >"$work/settings" 2>/dev/null || fail "no $file"
  for line in "$@"; do
    grep -qx "$line" "$work/settings" || fail "$file lacks $line: $(cat "$work/settings")"
  done
}

case "$case_name" in
  saver_shows_box_and_balls)
    start /s
    saver_window >/dev/null || fail "no saver window"
    wait_for 40 screen_shows_scene || fail "the screen shows no box edges and balls"
    [ ! -e "$work/status" ] || fail "the saver ended by itself"
    ;;

  enter_writes_picture)
    start /s
    window=$(saver_window) || fail "no saver window"
    wait_for 40 screen_shows_scene || fail "the saver draws nothing"
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key Return
    wait_for 20 test -s "$appdata/tmp.bmp" || fail "Enter wrote no tmp.bmp in the user's folder"
    sleep 1
    [ ! -e "$work/status" ] || fail "Enter ended the saver"
    [ "$(saver_windows)" -eq 1 ] || fail "a message box showed after Enter"
    # One pixel smaller than the screen each way, 24 bits, rows padded to four bytes.
    row=$(( ((width - 1) * 3 + 3) / 4 * 4 ))
    expected=$((54 + row * (height - 1)))
    size=$(stat -c %s "$appdata/tmp.bmp")
    [ "$size" -eq "$expected" ] || fail "tmp.bmp has $size bytes, not $expected"
    cp "$appdata/tmp.bmp" "$work/picture.bmp"
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
    cp "$appdata/default.tmr" "$work/start.tmr" || fail "no default.tmr at the start"
    xdotool mousemove_relative 1 0
    wait_exit 20 || fail "a one-pixel mouse move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit code $status"
    grep -q "^ball_N9_red_green_blue_0-255=" "$appdata/default.tmr" || fail "default.tmr is not a whole parameter file"
    cmp -s "$work/start.tmr" "$appdata/default.tmr" && fail "default.tmr was not rewritten with the final state"
    ;;

  # Set to go on from default.tmr, the next start begins where the last one ended.
  next_start_goes_on_from_the_last_final_state)
    start_gliding_saver
    probe close || fail "no saver window to close"
    wait_exit 20 || fail "the saver did not close"
    steps=$(glide_steps "$appdata") || fail "no whole final state"
    [ "$steps" -ge 1 ] || fail "the first run saved no steps"
    printf '[tes-mar_ScreenSaver]\r\nSpeed=0\r\nFrame_on=1\r\nwhat_file=0\r\nparam_file=default.tmr\r\n' >"$appdata/tes-mar.ini"
    give_to_user "$appdata"
    start /s
    saver_window >/dev/null || fail "no saver window on the second start"
    sleep 2
    probe close || fail "no saver window to close"
    wait_exit 20 || fail "the second run did not close"
    # Only a run that went on from the first one's end leaves ball 1 a whole number of steps further.
    later=$(glide_steps "$appdata") || fail "no whole final state after the second run"
    [ "$later" -gt "$steps" ] || fail "the second run did not go on from step $steps (it ended at $later)"
    echo "first run: $steps steps; second run ended at step $later"
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
    dialog_ok
    settings_hold "$appdata/tes-mar.ini" "Speed=1" "Frame_on=1" "what_file=1" "param_file=default.tmr"
    ;;

  # An administrator's tes-mar.ini in the Windows directory is still read; what the user stores goes to
  # the user's own folder, which is read from then on, and the administrator's file stays as it was.
  windows_directory_settings_are_read_then_kept_per_user)
    chmod u+w "$windir"
    printf '[tes-mar_ScreenSaver]\r\nSpeed=0\r\nFrame_on=0\r\nwhat_file=1\r\nparam_file=admin.tmr\r\n' >"$windir/tes-mar.ini"
    chmod a-w "$windir" "$windir/tes-mar.ini"
    cp "$windir/tes-mar.ini" "$work/admin.ini"
    dialog_ok
    settings_hold "$appdata/tes-mar.ini" "Speed=0" "Frame_on=0" "what_file=1" "param_file=admin.tmr"
    cmp -s "$work/admin.ini" "$windir/tes-mar.ini" || fail "the administrator's tes-mar.ini changed"
    # The user's copy is the one read now: a change in it shows in the next dialog and is stored again.
    sed -i 's/^Speed=0/Speed=2/' "$appdata/tes-mar.ini"
    dialog_ok
    settings_hold "$appdata/tes-mar.ini" "Speed=2" "Frame_on=0"
    ;;

  # The tool says where the final state went, and fails when it could not be written anywhere.
  render_tool_reports_where_it_wrote)
    [ -n "$render_built" ] || { echo "SKIP: no tesmar-render.exe"; exit 77; }
    as_user "${wine[@]}" "$work/tesmar-render.exe" --size 320x240 --frames 50 --out "$work/out.bmp" >"$work/render.log" 2>&1 ||
      fail "tesmar-render.exe failed: $(cat "$work/render.log")"
    line=$(tr -d '\r' <"$work/render.log" | sed -n 's/^final state: //p')
    case "$line" in *AppData*Roaming*tes-mar*default.tmr) ;; *) fail "final state reported in '$line'" ;; esac
    grep -q "^ball_N9_red_green_blue_0-255=" "$appdata/default.tmr" || fail "the reported default.tmr is not whole"
    # Nowhere to write: the user's folder taken away for a file of the same name.
    rm -rf "$appdata"
    as_user touch "$(dirname "$appdata")/tes-mar"
    if as_user "${wine[@]}" "$work/tesmar-render.exe" --size 320x240 --frames 5 --out "$work/out.bmp" >"$work/render.log" 2>&1; then
      fail "tesmar-render.exe reported success with nowhere to write: $(cat "$work/render.log")"
    fi
    grep -q "cannot write the final state" "$work/render.log" || fail "no error said: $(cat "$work/render.log")"
    grep -q "^final state:" "$work/render.log" && fail "a final state was reported that was never written"
    rm -f "$(dirname "$appdata")/tes-mar"
    ;;

  config_dialog_escape_writes_nothing)
    dialog_key Escape
    [ ! -e "$appdata/tes-mar.ini" ] || fail "Escape wrote tes-mar.ini"
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
