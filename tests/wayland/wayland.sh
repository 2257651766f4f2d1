#!/usr/bin/env bash
# tesmar in a real Wayland compositor (sway on its headless back end, two outputs, run as an ordinary
# user), and the idle start on Wayland and on X11:
#   wayland.sh CASE PATH-TO-TESMAR PATH-TO-TESMAR-IDLE PATH-TO-TEST-POINTER
set -uo pipefail
# shellcheck source=../support/glide.sh
source "$(dirname "$0")/../support/glide.sh"
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
# shellcheck source=../support/test_user.sh
source "$(dirname "$0")/../support/test_user.sh"
case_name=$1
width=1280
height=720
desktop='#3a6ea5'
desktop_rgb='rgb(58,110,165)'
test_user=tesmar-wayland

tools=(grim wtype swaymsg convert identify)
case "$case_name" in
  idle_x11) tools=(Xvfb xdotool) ;;
  swayidle) tools+=(swayidle) ;;
  xwayland) tools+=(Xwayland) ;;
esac
command -v sway >/dev/null || [ "$case_name" = idle_x11 ] || { echo "missing sway"; exit 1; }
for tool in "${tools[@]}"; do command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }; done

work=$(mktemp -d /tmp/tesmar-wayland-XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  exec 3>&- 2>/dev/null
  local p signal
  # Everything that runs in this session, whoever started it (sway starts its own helpers); asked
  # first, so that XWayland takes its socket away.
  for signal in TERM KILL; do
    for p in $(pgrep -u "${owner:-$(id -un)}"); do
      grep -qzx "XDG_RUNTIME_DIR=$runtime" "/proc/$p/environ" 2>/dev/null && kill -"$signal" "$p" 2>/dev/null
    done
    [ "$signal" = TERM ] && sleep 0.5
  done
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  # WAYLAND_KEEP=FOLDER keeps the screenshots and logs of a failed case.
  [ -n "${WAYLAND_KEEP:-}" ] && cp -r "$work" "$WAYLAND_KEEP"
  for log in sway saver idle; do
    [ -s "$work/$log.log" ] && { echo "--- $log log"; grep -v 'wl_\|xdg_\|zwlr\|zwp_' "$work/$log.log" | tail -20; }
  done
  exit 1
}

# sway refuses to run as root: an ordinary user runs the compositor and everything in it.
pick_test_user "$test_user" || fail "cannot create the user $test_user"
home=$work/home
runtime=$work/runtime
mkdir -p "$home/.config" "$runtime" "$work/bin"
chmod 700 "$runtime"
# Copies the user can surely reach, whatever the permissions of the build folder.
install -m 755 "$2" "$work/bin/tesmar"
install -m 755 "$3" "$work/bin/tesmar-idle"
install -m 755 "$4" "$work/bin/test-pointer"
confdir=$home/.config/tes-mar
write_glide_start "$confdir"
[ "$owner" != "$(id -un)" ] && chown -R "$owner" "$work"

session_env=(HOME="$home" USER="$owner" LOGNAME="$owner" PATH="$work/bin:/usr/bin:/bin" XDG_CONFIG_HOME="$home/.config"
             XDG_RUNTIME_DIR="$runtime")
as_user() { as_owner "${session_env[@]}" "$@"; }

# --- the compositor ---------------------------------------------------------------------------

# A coloured desktop, so that any of it showing is seen. An output that shows one full-screen window
# and no cursor gets that window's buffer scanned out, which a screenshot does not see; a turned
# output cannot take a buffer as it is, so the output without the pointer is turned by half a turn.
start_sway() {
  cat >"$work/sway.conf" <<CONF
output * bg $desktop solid_color
output * mode ${width}x${height}
output HEADLESS-2 transform 180
xwayland ${xwayland:-disable}
${sway_extra:-}
CONF
  as_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=2 WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
  pids+=($!)
  sway_ready() {
    socket=$(cd "$runtime" && ls wayland-* 2>/dev/null | grep -v '\.lock$' | head -1)
    ipc=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -1)
    [ -n "$socket" ] && [ -n "$ipc" ] && as_user env SWAYSOCK="$ipc" swaymsg -t get_outputs >/dev/null 2>&1
  }
  wait_for 20 sway_ready || fail "sway did not start"
  session_env+=(WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc")
  # One pointer and one keyboard for the whole run: a device that comes or goes moves the focus.
  mkfifo "$work/pointer.in"
  as_user test-pointer --extent "${layout_width:-$((2 * width))}x$height" <"$work/pointer.in" >"$work/pointer.out" 2>&1 &
  pids+=($!)
  exec 3>"$work/pointer.in"
  wait_for 10 grep -q ok "$work/pointer.out" || fail "the test pointer did not start: $(cat "$work/pointer.out")"
  as_user wtype -s 3600000 -k Shift_L >/dev/null 2>&1 &
  pids+=($!)
  pointer to "${pointer_x:-$((width / 2))}" 40
}

# Sends a command to the test pointer and waits until the compositor has taken it.
pointer() {
  local before
  before=$(grep -c ok "$work/pointer.out")
  echo "$*" >&3
  answered() { [ "$(grep -c ok "$work/pointer.out")" -gt "$before" ]; }
  wait_for 10 answered || fail "the test pointer did not take '$*'"
}

# --- the saver --------------------------------------------------------------------------------

saver_pid() { pgrep -u "$owner" -f "^$work/bin/tesmar /s" | head -1; }
saver_runs() { [ -n "$(saver_pid)" ]; }

start_saver() {
  as_user "$@" "$work/bin/tesmar" /s >"$work/saver.log" 2>&1 &
  pids+=($!)
  saver_job=$!
  if ! wait_for 20 shows_box HEADLESS-1; then
    saver_ended 2>/dev/null && fail "the saver ended with $status before it showed a box"
    fail "the saver shows no box on HEADLESS-1"
  fi
}

# Waits up to 20 s for the saver to end; its exit status lands in $status.
saver_ended() {
  wait_for 20 bash -c "! kill -0 $saver_job 2>/dev/null" || return 1
  wait "$saver_job"
  status=$?
}

shoot() { as_user grim ${2:-} -o "$1" "$work/$1.png"; }
# Pixels of colour $2 (or with $3 = "not", of any other colour) in the screenshot of output $1,
# optionally in an area $4 = WxH+X+Y.
count() {
  local picture=$work/$1.png
  [ -n "${4:-}" ] && picture="$work/$1.png[$4]"
  if [ "${3:-}" = not ]; then
    convert "$picture" +repage -fill black -opaque "$2" -fill white +opaque black -format "%[fx:int(mean*w*h)]" info:
  else
    convert "$picture" +repage -fill black +opaque "$2" -fill white -opaque "$2" -format "%[fx:int(mean*w*h)]" info:
  fi
}
pixel() { convert "$work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
# The box: its red front edge along the output's left border, nothing of the desktop.
shows_box() {
  shoot "$1" || return 1
  [ "$(pixel "$1" 1 $((height / 2)))" = "255,0,0" ] && [ "$(count "$1" "$desktop_rgb")" -eq 0 ]
}
# Black all over.
black() { shoot "$1" && [ "$(count "$1" black not)" -eq 0 ]; }

saved_after_run() {
  steps=$(glide_steps "$confdir") || fail "default.tmr is not a whole final state: $(grep N1_coord "$confdir/default.tmr")"
  [ "$steps" -ge 1 ] || fail "default.tmr still holds the starting state"
}

case "$case_name" in
  outputs_covered)
    # The box on the first output, sized to its device pixels (twice its logical pixels here), black
    # on the other, no cursor anywhere; an output that comes is covered too. Qt's Wayland platform is
    # chosen by tesmar itself.
    sway_extra='output HEADLESS-1 scale 2'
    layout_width=$((width / 2 + width)) pointer_x=$((width / 4)) start_sway
    start_saver
    wait_for 10 black HEADLESS-2 || fail "HEADLESS-2 is not black"
    # The pointer stands at (320, 40) of the box, in device pixels (640, 80), where the glide start
    # leaves the picture black: a cursor there would show.
    shoot HEADLESS-1 -c
    [ "$(count HEADLESS-1 black not 48x48+632+72)" -eq 0 ] || fail "the cursor shows over the saver"
    cp "$work/HEADLESS-1.png" "${WAYLAND_SCREENSHOT:-/dev/null}" 2>/dev/null
    as_user wtype -k Return
    wait_for 10 test -s "$confdir/tmp.bmp" || fail "Enter wrote no tmp.bmp"
    size=$(identify -format "%wx%h" "$confdir/tmp.bmp")
    [ "$size" = "$((width - 1))x$((height - 1))" ] || fail "the box is $size, not the output's device pixels less one"
    as_user swaymsg create_output >/dev/null || fail "create_output"
    as_user swaymsg output HEADLESS-3 transform 180 >/dev/null
    wait_for 20 black HEADLESS-3 || fail "the new output HEADLESS-3 is not covered"
    saver_runs || fail "the saver ended"
    ;;

  endings)
    # Each input that ends the saver, with the final state saved: a key, a button, the keyboard focus
    # going to another output, a one-pixel move; and SIGTERM, which ends it by that signal.
    start_sway
    for ending in key button focus move term; do
      write_glide_start "$confdir"
      start_saver
      [ "$(glide_steps "$confdir")" = 0 ] || fail "$ending: default.tmr does not hold the starting state"
      expected=0
      case $ending in
        key) as_user wtype -k x ;;
        button) pointer click ;;
        focus) as_user swaymsg focus output HEADLESS-2 >/dev/null ;;
        move) pointer by 1 0 ;;
        term) kill -TERM "$(saver_pid)"; expected=143 ;;
      esac
      saver_ended || fail "$ending did not end the saver"
      # runuser hands on the saver's death by a signal as 128 + its number.
      [ "$status" -eq "$expected" ] || fail "$ending: exit status $status"
      saved_after_run
      as_user swaymsg focus output HEADLESS-1 >/dev/null
      pointer to $((width / 2)) 40
    done
    ;;

  mouse_rule)
    # The first position the saver hears of is the start: an enter that the compositor sends again
    # at the same point leaves it running (the pointer device is unplugged and plugged in again).
    start_sway
    start_saver env WAYLAND_DEBUG=1
    pointer renew
    enters() { grep -c 'wl_pointer@[0-9]*\.enter(.*, 640\.0*, 40\.0*)' "$work/saver.log"; }
    twice() { [ "$(enters)" -ge 2 ]; }
    wait_for 10 twice || fail "the compositor sent no second enter ($(enters))"
    sleep 1
    saver_runs || fail "an enter at the starting point ended the saver"
    pointer by 0 1
    saver_ended || fail "a one-pixel move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit status $status"
    saved_after_run
    ;;

  xwayland)
    # Through XWayland: the compositor's window manager puts the saver on the focused output, the
    # covers stay where they are put.
    xwayland=enable start_sway
    as_user swaymsg exec 'echo $DISPLAY >'"$work/display" >/dev/null
    wait_for 10 test -s "$work/display" || fail "sway gave no X display"
    start_saver env QT_QPA_PLATFORM=xcb DISPLAY="$(cat "$work/display")"
    wait_for 10 black HEADLESS-2 || fail "HEADLESS-2 is not black"
    pointer by 1 0
    saver_ended || fail "a one-pixel move did not end the saver"
    [ "$status" -eq 0 ] || fail "exit status $status"
    saved_after_run
    ;;

  swayidle)
    start_sway
    as_user swayidle -w timeout 2 "$work/bin/tesmar /s" >"$work/idle.log" 2>&1 &
    pids+=($!)
    wait_for 20 saver_runs || fail "swayidle did not start the saver"
    saver_job=$(saver_pid)
    wait_for 20 shows_box HEADLESS-1 || fail "the saver shows no box"
    as_user wtype -k x
    wait_for 20 bash -c "! kill -0 $saver_job 2>/dev/null" || fail "a key did not end the saver"
    saved_after_run
    ;;

  idle_wayland)
    # tesmar-idle over the compositor's idle protocol (sway 1.7 offers KDE's): a start after each
    # idle spell, and its SIGTERM ends the saver the way a host does.
    start_sway
    as_user "$work/bin/tesmar-idle" --timeout 2 >"$work/idle.log" 2>&1 &
    pids+=($!)
    for spell in 1 2; do
      wait_for 20 saver_runs || fail "idle spell $spell: tesmar-idle did not start the saver"
      saver_job=$(saver_pid)
      wait_for 20 shows_box HEADLESS-1 || fail "idle spell $spell: the saver shows no box"
      [ "$spell" -eq 2 ] && break
      as_user wtype -k x
      wait_for 20 bash -c "! kill -0 $saver_job 2>/dev/null" || fail "a key did not end the saver"
      saved_after_run
      write_glide_start "$confdir"
    done
    pkill -TERM -u "$owner" -f "^$work/bin/tesmar-idle"
    wait_for 20 bash -c "! pgrep -u $owner -f '^$work/bin/tesmar' >/dev/null" || fail "SIGTERM left a process behind"
    saved_after_run
    ;;

  idle_x11)
    # tesmar-idle over the X server's screen-saver extension; and its refused command lines.
    for bad in "--timeout 0" "--timeout x" "--bogus"; do
      # shellcheck disable=SC2086
      "$work/bin/tesmar-idle" $bad 2>"$work/err.log"
      [ $? -eq 2 ] || fail "tesmar-idle $bad did not end with 2"
      [ -s "$work/err.log" ] || fail "tesmar-idle $bad said nothing"
    done
    start_xvfb "${width}x${height}" || fail "Xvfb did not start"
    session_env+=(DISPLAY="$DISPLAY")
    as_user "$work/bin/tesmar-idle" --timeout 2 >"$work/idle.log" 2>&1 &
    pids+=($!)
    for spell in 1 2; do
      wait_for 20 saver_runs || fail "idle spell $spell: tesmar-idle did not start the saver"
      saver_job=$(saver_pid)
      window() { xdotool search --onlyvisible --name tes_mar_ScreenSaver >/dev/null 2>&1; }
      wait_for 20 window || fail "idle spell $spell: no saver window"
      sleep 1
      xdotool mousemove_relative 1 0
      wait_for 20 bash -c "! kill -0 $saver_job 2>/dev/null" || fail "a mouse move did not end the saver"
      saved_after_run
      write_glide_start "$confdir"
    done
    ;;

  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
