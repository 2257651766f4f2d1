#!/usr/bin/env bash
# The real saver against the faults a desktop brings by itself, each case on a display of its own:
# the display going away, a full or read-only settings folder, storms of signals, odd files.
#   faults.sh CASE PATH-TO-TESMAR PATH-TO-BOX-PROBE
# The folder cases mount a small tmpfs or a read-only bind mount in a mount namespace of their own
# (root, or an unprivileged user namespace); the Wayland case runs sway as an ordinary user.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/xvfb.sh
source "$here/../support/xvfb.sh"
# shellcheck source=../support/glide.sh
source "$here/../support/glide.sh"
case_name=$1
tesmar=$(readlink -f "$2")
box_probe=${3:-}
width=800
height=600
test_user=tesmar-faults

skip() { echo "SKIP: $*"; exit 77; }
for tool in Xvfb xdotool; do command -v "$tool" >/dev/null || skip "missing $tool"; done

# The folder cases mount; mounts live in a namespace of this script's own, so they vanish with it.
case "$case_name" in
  full_disk|read_only_folder)
    if [ -z "${FAULTS_MOUNT_NAMESPACE:-}" ]; then
      export FAULTS_MOUNT_NAMESPACE=1
      if [ "$(id -u)" -eq 0 ] && unshare -m --propagation private true 2>/dev/null; then
        exec unshare -m --propagation private bash "$0" "$@"
      elif unshare -r -m --propagation private true 2>/dev/null; then
        exec unshare -r -m --propagation private bash "$0" "$@"
      fi
      skip "mounting a test folder needs root or user namespaces (unshare -m)"
    fi
    ;;
esac

work=$(mktemp -d /tmp/tesmar-faults-XXXXXX)
chmod 755 "$work"
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
confdir=$XDG_CONFIG_HOME/tes-mar
mkdir -p "$confdir" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cd "$work" || exit 1
pids=()
cleanup() {
  # What runuser started in the Wayland case: the compositor (known by its configuration) and the saver.
  if [ "$case_name" = display_lost_wayland ]; then
    pids+=($(pgrep -f -- "^sway -c $work/sway.conf") $(pgrep -u "$test_user" -f -- "^$tesmar /s"))
  fi
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  mountpoint -q "$confdir" 2>/dev/null && umount "$confdir"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/saver.log" ] && { echo "--- the saver's output"; cat "$work/saver.log"; }
  exit 1
}
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# The saver on the display, with SIGINT and SIGHUP at their defaults (a script's background job
# ignores SIGINT, and the saver leaves an ignored signal ignored); $saver is its pid.
start_saver() {
  xdotool mousemove 400 300
  env --default-signal=INT,HUP "$tesmar" "$@" >"$work/saver.log" 2>&1 &
  saver=$!
  pids+=("$saver")
  wait_for 60 saver_shown || fail "the saver did not show"
  # A few steps, at the glide start's ten a second.
  sleep 1
  kill -0 "$saver" 2>/dev/null || fail "the saver ended on its own"
}

complete_save() { grep -q '^ball_N9_red_green_blue_0-255=' "$1" 2>/dev/null; }
no_temporary_files() { ! ls -a "$confdir" | grep -q '\.tmp[0-9]'; }
# The final state after a run from the glide start: whole, and later than the start.
check_final_glide() {
  local steps
  steps=$(glide_steps "$confdir") || fail "default.tmr is not one whole state: $(grep N1_coord "$confdir/default.tmr")"
  [ "$steps" -ge 1 ] || fail "default.tmr still holds the starting state"
  no_temporary_files || fail "a temporary file is left: $(ls -a "$confdir")"
  echo "steps saved: $steps"
}

# Exit status 1, the saver's line on where the state went, and the state itself.
check_display_lost_end() {
  [ "$status" -eq 1 ] || fail "exit status $status, not 1"
  grep -qx "tesmar: the display went away; the final state is in $confdir/default.tmr" "$work/saver.log" ||
    fail "the saver did not say that the display went away and where the state is"
  check_final_glide
}

# The ids of the saver's visible windows (the box and its message boxes share its name), with "full"
# or "small" for whether they cover the screen's width.
saver_windows() {
  local id geometry
  for id in $(xdotool search --onlyvisible --name '^tes_mar_ScreenSaver$' 2>/dev/null); do
    geometry=$(xdotool getwindowgeometry "$id" 2>/dev/null | sed -n 's/.*Geometry: //p')
    [ -n "$geometry" ] || continue
    if [ "${geometry%x*}" -ge "$width" ]; then echo "$id full"; else echo "$id small"; fi
  done
}
saver_shown() { saver_windows | grep -q ' full$'; }
message_box() { saver_windows | awk '$2 == "small" {print $1; found = 1; exit} END {exit !found}'; }
box_shown() { message_box >/dev/null; }
box_gone() { ! message_box >/dev/null; }

# Enter with a settings folder that cannot take the picture: the box says so, OK closes it, and the
# saver goes on; then a one-pixel move ends it. $1: what the saver's output must say about the folder.
enter_shows_disk_error_and_goes_on() {
  xdotool key Return
  wait_for 30 box_shown || fail "Enter showed no message box"
  import -window root "$work/box.png" 2>/dev/null && cp "$work/box.png" "${FAULTS_SCREENSHOT:-/dev/null}" 2>/dev/null
  grep -qx "tes_mar_ScreenSaver: Disk error saving bitmap!" "$work/saver.log" ||
    fail "the box does not say \"Disk error saving bitmap!\""
  xdotool key Return
  wait_for 30 box_gone || fail "OK did not close the box"
  sleep 1
  kill -0 "$saver" 2>/dev/null || fail "the saver ended after the box"
  xdotool mousemove_relative 1 0
  wait_exit "$saver" 60 || fail "a one-pixel mouse move did not end the saver"
  [ "$status" -eq 0 ] || fail "exit status $status"
  grep -q "$1" "$work/saver.log" || fail "the saver did not say why it could not write ($1)"
}

# The settings folder's files as they were before the run, byte for byte, and nothing else.
check_folder_unchanged() {
  cmp -s "$work/old.tmr" "$confdir/default.tmr" || fail "default.tmr changed"
  cmp -s "$work/old.ini" "$confdir/tes-mar.ini" || fail "tes-mar.ini changed"
  no_temporary_files || fail "a temporary file is left: $(ls -a "$confdir")"
  [ ! -e "$confdir/tmp.bmp" ] || fail "a tmp.bmp appeared"
}

prepare_old_files() {
  write_glide_start "$confdir"
  cp "$confdir/glide.tmr" "$confdir/default.tmr"
  cp "$confdir/default.tmr" "$work/old.tmr"
  cp "$confdir/tes-mar.ini" "$work/old.ini"
}

# The Wayland case: sway without a screen, run by an ordinary user (sway refuses root).
as_user() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u "$test_user" -- env -i "$@"; else env -i "$@"; fi
}

case "$case_name" in
  display_lost_full_screen|display_lost_host)
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    write_glide_start "$confdir"
    if [ "$case_name" = display_lost_host ]; then start_saver --root; else start_saver /s; fi
    [ "$(glide_steps "$confdir")" = 0 ] || fail "default.tmr does not hold the starting state"
    kill -9 "$xvfb_pid"
    wait_exit "$saver" 60 || fail "the saver did not end when the X server went away"
    check_display_lost_end
    lock_held && fail "the saver-running flag is still set"
    ;;

  display_lost_wayland)
    command -v sway >/dev/null || skip "sway is not installed"
    if [ "$(id -u)" -eq 0 ]; then
      id "$test_user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /bin/sh "$test_user" ||
        fail "cannot create the user $test_user"
    fi
    # No X11 sockets: they would take display numbers from the X servers of other tests.
    printf 'output HEADLESS-1 resolution %dx%d\nxwayland disable\n' "$width" "$height" >"$work/sway.conf"
    write_glide_start "$confdir"
    [ "$(id -u)" -eq 0 ] && chown -R "$test_user" "$work"
    base=(HOME="$work" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" XDG_CONFIG_HOME="$XDG_CONFIG_HOME")
    as_user "${base[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
      sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
    sway_pid=$!
    pids+=("$sway_pid")
    socket() { ls "$XDG_RUNTIME_DIR" 2>/dev/null | grep -E '^wayland-[0-9]+$' | head -1; }
    has_socket() { [ -n "$(socket)" ]; }
    wait_for 60 has_socket || { cat "$work/sway.log"; fail "sway did not start"; }
    as_user "${base[@]}" WAYLAND_DISPLAY="$(socket)" QT_QPA_PLATFORM=wayland "$tesmar" /s >"$work/saver.log" 2>&1 &
    saver=$!
    pids+=("$saver")
    wait_for 60 test -s "$confdir/default.tmr" || fail "the saver wrote no starting state"
    sleep 2
    kill -0 "$saver" 2>/dev/null || fail "the saver ended on its own"
    # runuser stands between this script and the compositor, which is found by its configuration.
    compositor=$(pgrep -f "^sway -c $work/sway.conf")
    [ -n "$compositor" ] || fail "cannot find sway's process"
    pids+=($compositor)
    kill -9 $compositor
    wait_exit "$saver" 60 || fail "the saver did not end when the compositor went away"
    check_display_lost_end
    ;;

  full_disk|read_only_folder)
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    prepare_old_files
    mkdir -p "$work/staged"
    cp -a "$confdir/." "$work/staged/"
    if [ "$case_name" = full_disk ]; then
      mount -t tmpfs -o size=256k tmpfs "$confdir" || skip "cannot mount a tmpfs here"
      cp -a "$work/staged/." "$confdir/"
      # Filled to the last block: the next byte of any file fails.
      dd if=/dev/zero of="$confdir/filler" bs=4k 2>/dev/null
      printf x >"$confdir/probe" 2>/dev/null && fail "the tmpfs is not full"
      rm -f "$confdir/probe"
      reason="No space left on device"
    else
      mount --bind "$confdir" "$confdir" && mount -o remount,bind,ro "$confdir" ||
        skip "cannot make a read-only bind mount here"
      touch "$confdir/probe" 2>/dev/null && fail "the read-only folder takes a new file"
      reason="Read-only file system"
    fi
    start_saver /s
    grep -q "cannot write the profile $confdir/default.tmr: $reason" "$work/saver.log" ||
      fail "the starting state's write did not fail with \"$reason\""
    enter_shows_disk_error_and_goes_on "$reason"
    rm -f "$confdir/filler"
    check_folder_unchanged
    ;;

  signal_storms)
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    # A burst of 100, SIGTERM first.
    write_glide_start "$confdir"
    start_saver /s
    kill -TERM "$saver"
    for i in $(seq 1 99); do
      case $((i % 3)) in 0) kill -TERM "$saver" ;; 1) kill -INT "$saver" ;; 2) kill -HUP "$saver" ;; esac 2>/dev/null
    done
    wait_exit "$saver" 60 || fail "the saver hung after 100 signals"
    [ "$status" -eq 143 ] || fail "100 signals: exit status $status, not death by SIGTERM"
    check_final_glide
    # SIGTERM without a pause until the process is gone, so that signals come during the final write.
    rm -f "$confdir/default.tmr"
    start_saver /s
    sent=0
    while kill -TERM "$saver" 2>/dev/null; do sent=$((sent + 1)); [ $sent -lt 200000 ] || break; done
    wait_exit "$saver" 60 || fail "the saver hung under a stream of signals"
    [ "$status" -eq 143 ] || fail "a stream of signals: exit status $status"
    echo "signals sent until the saver was gone: $sent"
    check_final_glide
    lock_held && fail "the saver-running flag is still set"
    ;;

  signal_during_box)
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    write_glide_start "$confdir"
    # A folder where the picture goes, so that Enter's write fails and its box stays open.
    mkdir "$confdir/tmp.bmp"
    start_saver /s
    xdotool key Return
    wait_for 30 box_shown || fail "Enter showed no message box"
    kill -TERM "$saver"
    wait_exit "$saver" 60 || fail "SIGTERM did not end the saver while its box was open"
    [ "$status" -eq 143 ] || fail "exit status $status, not death by SIGTERM"
    check_final_glide
    ;;

  retry_box_and_signal)
    # Retry/Cancel boxes of the window's step and of its construction, each open when SIGTERM comes.
    for failing in step bitmap; do
      rm -f "$confdir"/*
      QT_QPA_PLATFORM=offscreen timeout 60 "$box_probe" "$failing" >"$work/saver.log" 2>&1
      status=$?
      [ "$status" -eq 143 ] || fail "$failing box: exit status $status, not death by SIGTERM"
      complete_save "$confdir/default.tmr" || fail "$failing box: default.tmr is not whole"
      no_temporary_files || fail "$failing box: a temporary file is left"
      if [ "$failing" = step ]; then
        cmp -s "$confdir/default.tmr.start" "$confdir/default.tmr" && fail "the step's box: no final state"
      fi
    done
    ;;

  large_and_random_settings)
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    for kind in large random; do
      rm -f "$confdir"/*
      if [ $kind = large ]; then
        { printf '[tes-mar_ScreenSaver]\nSpeed=0\nwhat_file=1\n'; yes 'padding=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' | head -c 100M; } >"$confdir/tes-mar.ini"
      else
        head -c 1M /dev/urandom >"$confdir/tes-mar.ini"
      fi
      sum=$(sha256sum <"$confdir/tes-mar.ini")
      start_saver /s
      cp "$confdir/default.tmr" "$work/start.tmr"
      xdotool mousemove_relative 1 0
      wait_exit "$saver" 60 || fail "$kind settings: a one-pixel mouse move did not end the saver"
      [ "$status" -eq 0 ] || fail "$kind settings: exit status $status"
      complete_save "$confdir/default.tmr" || fail "$kind settings: default.tmr is not whole"
      cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "$kind settings: no final state"
      [ "$(sha256sum <"$confdir/tes-mar.ini")" = "$sum" ] || fail "$kind settings: tes-mar.ini changed"
      no_temporary_files || fail "$kind settings: a temporary file is left"
    done
    ;;

  parameter_directory_and_fifo)
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    mkfifo "$work/start.fifo"
    mkdir "$work/start.folder"
    # Named as the start, or in default.tmr's place itself: the saver runs from a random start,
    # never waits on the FIFO, and leaves both as they are.
    for start in "$work/start.fifo" "$work/start.folder" fifo folder; do
      rm -rf "${confdir:?}"/*
      param=$start
      case $start in
        fifo) mkfifo "$confdir/default.tmr"; param=default.tmr ;;
        folder) mkdir "$confdir/default.tmr"; param=default.tmr ;;
      esac
      printf '[tes-mar_ScreenSaver]\nwhat_file=0\nparam_file=%s\n' "$param" >"$confdir/tes-mar.ini"
      start_saver /s
      xdotool mousemove_relative 1 0
      wait_exit "$saver" 60 || fail "start from $start: a one-pixel mouse move did not end the saver"
      [ "$status" -eq 0 ] || fail "start from $start: exit status $status"
      case $start in
        fifo) [ -p "$confdir/default.tmr" ] || fail "default.tmr is no longer a FIFO" ;;
        folder) [ -d "$confdir/default.tmr" ] || fail "default.tmr is no longer a folder" ;;
        *) complete_save "$confdir/default.tmr" || fail "start from $start: default.tmr is not whole" ;;
      esac
      no_temporary_files || fail "start from $start: a temporary file is left"
    done
    [ -p "$work/start.fifo" ] && [ -d "$work/start.folder" ] || fail "the FIFO or the folder changed"
    # The hosts' command line refuses them at once.
    for start in "$work/start.fifo" "$work/start.folder"; do
      timeout 20 "$tesmar" --root --param "$start" >/dev/null 2>"$work/refused.log"
      status=$?
      [ "$status" -eq 2 ] || fail "--param $start: exit status $status, not 2"
      grep -q "cannot read the parameter file" "$work/refused.log" || fail "--param $start: $(cat "$work/refused.log")"
    done
    ;;

  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
