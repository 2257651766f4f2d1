#!/usr/bin/env bash
# tesmar under the real screen-saver hosts, on a display of its own: hosts.sh CASE PATH-TO-TESMAR [BUILD-DIR]
# Run as root it runs the hosts as an ordinary user (xscreensaver refuses to run savers as root).
set -uo pipefail
# shellcheck source=../support/xvfb.sh
source "$(dirname "$0")/../support/xvfb.sh"
# shellcheck source=../support/test_user.sh
source "$(dirname "$0")/../support/test_user.sh"
case_name=$1
tesmar_built=$2
build_dir=${3:-}
width=800
height=600
test_user=tesmar-hosts

for tool in Xvfb xdotool convert xwininfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d /tmp/tesmar-hosts-XXXXXX)
chmod 755 "$work"
pids=()
installed=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  for f in "${installed[@]}"; do rm -f "$f"; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/host.log" ] && { echo "--- host log"; tail -40 "$work/host.log"; }
  [ -n "${keep_log:-}" ] && cat "$keep_log"
  exit 1
}

# The user that runs the hosts and the saver, with its own home, configuration and runtime folders.
pick_test_user "$test_user" || fail "cannot create the user $test_user"
home=$work/home
mkdir -p "$home/.config" "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
# A copy the user can surely reach, whatever the permissions of the build folder.
cp "$tesmar_built" "$work/bin/tesmar"
chmod 755 "$work/bin/tesmar"
tesmar=$work/bin/tesmar
confdir=$home/.config/tes-mar
# The user writes its logs into the scratch folder too.
[ "$owner" != "$(id -un)" ] && chown -R "$owner" "$work"

# A display of our own, chosen by the server; it accepts every local client. No reset when the last
# client leaves, so that monitors set up before the host starts stay.
start_xvfb "${width}x${height}" -noreset || fail "Xvfb did not start"

# Runs a command as the test user, in a clean environment; no session bus unless the case makes one.
as_user() {
  local environment=(HOME="$home" USER="$owner" LOGNAME="$owner" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin
                     XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$work/runtime"
                     DBUS_SESSION_BUS_ADDRESS="${session_bus:-disabled:}")
  as_owner "${environment[@]}" "$@"
}


saver_pids() { pgrep -u "$owner" -f "^$tesmar( |$)" || true; }
saver_count() { saver_pids | wc -l; }
no_saver() { [ "$(saver_count)" -eq 0 ]; }

# Pure red pixels (the box's edges) and pixels of any other colour but black (balls, trails) in an
# area WxH+X+Y of the screen.
shoot() { import -window root "$work/shot.png" 2>/dev/null; }
red_pixels() {
  convert "$work/shot.png" -crop "$1" +repage -fill black +opaque 'rgb(255,0,0)' -fill white -opaque 'rgb(255,0,0)' \
    -format "%[fx:int(mean*w*h)]" info:
}
coloured_pixels() {
  convert "$work/shot.png" -crop "$1" +repage -fill black -opaque 'rgb(255,0,0)' -fill white +opaque black \
    -format "%[fx:int(mean*w*h)]" info:
}
# True once the area shows the box with something moving in it.
shows_box() {
  shoot || return 1
  [ "$(red_pixels "$1")" -gt 400 ] && [ "$(coloured_pixels "$1")" -gt 20 ]
}

# A parameter file holds every ball of a complete save.
complete_save() { grep -q '^ball_N9_red_green_blue_0-255=' "$1" 2>/dev/null; }

start_xscreensaver() {
  cat >"$home/.xscreensaver" <<XRC
mode:		one
selected:	0
lock:		False
splash:		False
fade:		False
unfade:		False
timeout:	1:00:00
cycle:		1:00:00
programs:	$tesmar --root \\n
XRC
  [ "$owner" != "$(id -un)" ] && chown "$owner" "$home/.xscreensaver"
  as_user xscreensaver --no-splash --log "$work/host.log" >/dev/null 2>&1 &
  pids+=($!)
  wait_for 20 as_user xscreensaver-command -time >"$work/command.log" 2>&1 || { keep_log=$work/command.log; fail "xscreensaver did not start"; }
}

# No hack crashed or ended by itself: xscreensaver logs those as abnormal exits.
host_log_clean() {
  if grep -Ei 'abnormal|crash|core dumped|exited with status|terminated with signal' "$work/host.log" | grep -v 'xscreensaver-gfx exited with SIGTERM'; then
    fail "xscreensaver logged a failing saver"
  fi
}

case "$case_name" in
  xscreensaver)
    command -v xscreensaver >/dev/null || { echo "SKIP: xscreensaver is not installed"; exit 77; }
    start_xscreensaver
    as_user xscreensaver-command -activate >/dev/null || fail "activate"
    wait_for 20 shows_box "${width}x${height}+0+0" || fail "the screen does not show the box"
    [ "$(saver_count)" -eq 1 ] || fail "expected one saver, found $(saver_count)"
    grep -q "on window 0x" "$work/host.log" || fail "xscreensaver did not hand over a window"
    cp "$work/shot.png" "$work/inside-xscreensaver.png"
    complete_save "$confdir/default.tmr" || fail "no starting state in default.tmr"
    cp "$confdir/default.tmr" "$work/start.tmr"
    # Drawing on: the saver never ends by itself.
    sleep 2
    [ "$(saver_count)" -eq 1 ] || fail "the saver ended by itself"
    as_user xscreensaver-command -deactivate >/dev/null || fail "deactivate"
    wait_for 20 no_saver || fail "the saver did not end on deactivation"
    complete_save "$confdir/default.tmr" || fail "default.tmr is not a complete state after the run"
    cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "default.tmr still holds the starting state"
    host_log_clean
    # Where the README's picture comes from.
    if [ -n "${TESMAR_SCREENSHOT:-}" ]; then convert "$work/inside-xscreensaver.png" -resize 50% "$TESMAR_SCREENSHOT"; fi
    ;;

  xscreensaver_two_monitors)
    command -v xscreensaver >/dev/null || { echo "SKIP: xscreensaver is not installed"; exit 77; }
    command -v xrandr >/dev/null || fail "missing xrandr"
    half=$((width / 2))
    # The screen's one output goes to the left monitor; the right one has none.
    xrandr --setmonitor left ${half}/100x${height}/100+0+0 screen >/dev/null 2>&1
    xrandr --setmonitor right ${half}/100x${height}/100+${half}+0 none >/dev/null 2>&1
    xrandr --listmonitors | grep -q '^Monitors: 2' || fail "no two monitors: $(xrandr --listmonitors | tr '\n' ' ')"
    start_xscreensaver
    as_user xscreensaver-command -activate >/dev/null || fail "activate"
    two_savers() { [ "$(saver_count)" -eq 2 ]; }
    wait_for 20 two_savers || fail "expected two savers, found $(saver_count)"
    both_draw() { shows_box "${half}x${height}+0+0" && shows_box "${half}x${height}+${half}+0"; }
    wait_for 20 both_draw || fail "not both monitors show a box"
    as_user xscreensaver-command -deactivate >/dev/null || fail "deactivate"
    wait_for 20 no_saver || fail "the savers did not end on deactivation"
    host_log_clean
    ;;

  window_id)
    command -v xmessage >/dev/null || { echo "SKIP: xmessage is not installed"; exit 77; }
    # A small window of another program, away from the screen's corner.
    as_user xmessage -geometry 320x240+200+150 -name tesmar-host "a window of another program" &
    pids+=($!)
    host_window() { xwininfo -name tesmar-host 2>/dev/null | awk '/Window id/ {print $4}'; }
    has_host_window() { [ -n "$(host_window)" ]; }
    wait_for 10 has_host_window || fail "no host window"
    window=$(host_window)
    as_user "$tesmar" --window-id "$window" --frame >"$work/host.log" 2>&1 &
    saver=$!
    pids+=($saver)
    wait_for 20 shows_box "320x240+200+150" || fail "the window does not show the box"
    # Inside the window only.
    shoot
    [ "$(red_pixels "${width}x140+0+0")" -eq 0 ] || fail "the saver drew above the window"
    [ "$(coloured_pixels "180x${height}+0+0")" -eq 0 ] || fail "the saver drew left of the window"
    sleep 2
    kill -0 "$saver" 2>/dev/null || fail "the saver ended by itself"
    cp "$confdir/default.tmr" "$work/start.tmr"
    # Resized: a new box of the new size, the old state saved first.
    xdotool windowsize "$window" 400 300
    wait_for 20 shows_box "400x300+200+150" || fail "no box after the resize"
    child_resized() { xwininfo -children -id "$window" | grep -q '"tes_mar_ScreenSaver".*400x300+0+0'; }
    wait_for 10 child_resized || fail "the saver's window did not follow the resize"
    # SIGTERM: the final state is saved, and the saver ends by that signal (runuser passes it on as 143).
    kill -TERM "$(saver_pids)"
    wait "$saver"
    status=$?
    [ "$status" -eq 143 ] || fail "SIGTERM ended the saver with status $status, not by the signal"
    complete_save "$confdir/default.tmr" || fail "default.tmr is not a complete state"
    cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "default.tmr was not saved at the end"

    # The host's window goes away: the saver saves and ends.
    as_user "$tesmar" --window-id "$window" >"$work/host.log" 2>&1 &
    saver=$!
    pids+=($saver)
    wait_for 20 shows_box "400x300+200+150" || fail "no box in the second run"
    cp "$confdir/default.tmr" "$work/start.tmr"
    # Input belongs to the host: a click on the host's button, under the saver's window, reaches the
    # button, and the host closes its window.
    button=$(xwininfo -tree -id "$window" | awk '/ [0-9]+x17\+/ {print $NF; exit}')
    [ -n "$button" ] || fail "cannot find the host's button"
    IFS=+ read -r _ button_x button_y <<<"$button"
    xdotool mousemove $((button_x + 8)) $((button_y + 8)) click 1
    host_gone() { [ -z "$(host_window)" ]; }
    wait_for 10 host_gone || fail "the click did not reach the host's window"
    gone() { ! kill -0 "$saver" 2>/dev/null; }
    wait_for 20 gone || fail "the saver did not end when its window went away"
    wait "$saver"
    status=$?
    [ "$status" -eq 0 ] || fail "ended with status $status when the window went away"
    cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "default.tmr was not saved when the window went away"
    complete_save "$confdir/default.tmr" || fail "default.tmr is not a complete state"
    ;;

  bad_input)
    rm -rf "$confdir"
    check_refused() {
      local expected=$1
      shift
      as_user "$@" >"$work/out.log" 2>"$work/err.log"
      local status=$?
      [ "$status" -ne 0 ] || fail "'$*' ended with 0"
      [ "$(wc -l <"$work/err.log")" -eq 1 ] || { cat "$work/err.log"; fail "'$*' did not give one line"; }
      grep -q "$expected" "$work/err.log" || { cat "$work/err.log"; fail "'$*' did not say '$expected'"; }
    }
    check_refused "not a window id" "$tesmar" --window-id 12abc
    check_refused "no window 0x3fffff0" "$tesmar" -window-id 0x3fffff0
    check_refused "unknown option" "$tesmar" --root --bogus
    check_refused "slow, medium or fast" "$tesmar" --root --speed warp
    check_refused "cannot read the parameter file" "$tesmar" --root --param "$work/none.tmr"
    check_refused "XSCREENSAVER_WINDOW" env XSCREENSAVER_WINDOW=junk "$tesmar" --root
    [ ! -e "$confdir" ] || fail "a refused command line wrote $(ls "$confdir")"
    ;;

  mate)
    command -v mate-screensaver >/dev/null || { echo "SKIP: mate-screensaver is not installed"; exit 77; }
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: the system's saver folders need root"; exit 77; }
    hack=/usr/libexec/xscreensaver/tesmar
    desktop=/usr/share/applications/screensavers/tesmar.desktop
    if [ -e "$hack" ] || [ -e "$desktop" ]; then echo "SKIP: tesmar is installed on this system"; exit 77; fi
    mkdir -p /usr/libexec/xscreensaver /usr/share/applications/screensavers
    installed+=("$hack" "$desktop")
    install -m 755 "$tesmar" "$hack"
    source_dir=$(cd "$(dirname "$0")/../.." && pwd)
    sed "s|@TESMAR_HACK@|$hack|g" "$source_dir/packaging/tesmar.desktop.in" >"$desktop"
    # Hack and window are the host's: find the saver by its installed path.
    saver_pids() { pgrep -u "$owner" -f "^$hack( |$)" || true; }
    cat >"$work/session.sh" <<SESSION
#!/bin/sh
gsettings set org.mate.screensaver mode 'single'
gsettings set org.mate.screensaver themes "['screensavers-tesmar']"
gsettings set org.mate.screensaver lock-enabled false
gsettings set org.mate.screensaver idle-activation-enabled false
mate-screensaver --no-daemon >"$work/host.log" 2>&1 &
echo \$! >"$work/host.pid"
# Commands reach the host over the session bus; the test drives it through these files.
while [ ! -e "$work/stop" ]; do
  if [ -e "$work/command" ]; then
    mate-screensaver-command \$(cat "$work/command") >>"$work/commands.log" 2>&1
    echo \$? >"$work/command.done"
    rm -f "$work/command"
  fi
  sleep 0.1
done
kill \$(cat "$work/host.pid")
SESSION
    chmod 755 "$work/session.sh"
    as_user dbus-run-session -- "$work/session.sh" >"$work/session.log" 2>&1 &
    session=$!
    pids+=($session)
    host_command() {
      rm -f "$work/command.done"
      echo "$1" >"$work/command"
      wait_for 20 test -e "$work/command.done" || return 1
      [ "$(cat "$work/command.done")" -eq 0 ]
    }
    wait_for 30 host_command --query || fail "mate-screensaver did not answer"
    host_command --activate || fail "activate"
    wait_for 30 shows_box "${width}x${height}+0+0" || fail "the screen does not show the box"
    [ "$(saver_count)" -ge 1 ] || fail "no saver runs"
    complete_save "$confdir/default.tmr" || fail "no starting state in default.tmr"
    cp "$confdir/default.tmr" "$work/start.tmr"
    sleep 2
    [ "$(saver_count)" -ge 1 ] || fail "the saver ended by itself"
    host_command --deactivate || fail "deactivate"
    wait_for 20 no_saver || fail "the saver did not end on deactivation"
    complete_save "$confdir/default.tmr" || fail "default.tmr is not a complete state after the run"
    cmp -s "$work/start.tmr" "$confdir/default.tmr" && fail "default.tmr still holds the starting state"
    touch "$work/stop"
    wait_for 10 bash -c "! kill -0 $session 2>/dev/null" || true
    ;;

  package)
    [ -n "$build_dir" ] || fail "no build folder given"
    command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb is not installed"; exit 77; }
    rm -f "$build_dir"/tesmar_*.deb
    (cd "$build_dir" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(ls "$build_dir"/tesmar_*_*.deb 2>/dev/null | head -1)
    [ -n "$deb" ] && deb=$(realpath "$deb")
    [ -n "$deb" ] || fail "no tesmar_<version>_<arch>.deb"
    [[ $(basename "$deb") =~ ^tesmar_[0-9.]+_$(dpkg --print-architecture)\.deb$ ]] || fail "unexpected name $(basename "$deb")"
    depends=$(dpkg-deb -f "$deb" Depends)
    for library in libqt6widgets6 libqt6gui6 libqt6core6 libxcb1 libc6; do
      grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
    done
    root=$work/root
    dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
    for file in usr/bin/tesmar usr/share/xscreensaver/config/tesmar.xml \
                usr/share/applications/screensavers/tesmar.desktop usr/share/icons/hicolor/48x48/apps/tesmar.png \
                usr/share/man/man6/tesmar.6.gz; do
      [ -f "$root/$file" ] || fail "the package lacks /$file"
    done
    [ -x "$root/usr/bin/tesmar" ] || fail "/usr/bin/tesmar is not executable"
    [ "$(readlink -f "$root/usr/libexec/xscreensaver/tesmar")" = "$(readlink -f "$root/usr/bin/tesmar")" ] ||
      fail "the hack does not lead to /usr/bin/tesmar"
    grep -qx 'Exec=/usr/libexec/xscreensaver/tesmar --root' "$root/usr/share/applications/screensavers/tesmar.desktop" ||
      fail "the .desktop entry runs something else"
    grep -qx 'Categories=Screensaver;' "$root/usr/share/applications/screensavers/tesmar.desktop" || fail "no Screensaver category"
    if command -v desktop-file-validate >/dev/null; then
      desktop-file-validate "$root/usr/share/applications/screensavers/tesmar.desktop" >"$work/validate.log" 2>&1 ||
        { cat "$work/validate.log"; fail "desktop-file-validate"; }
    fi
    if command -v xmllint >/dev/null; then
      xmllint --noout "$root/usr/share/xscreensaver/config/tesmar.xml" || fail "tesmar.xml is not well-formed"
    fi
    grep -q '<command arg="--root"/>' "$root/usr/share/xscreensaver/config/tesmar.xml" || fail "tesmar.xml has no --root"
    # The packaged program runs (its libraries are those Depends names) and refuses a bad option.
    "$root/usr/bin/tesmar" --bogus 2>"$work/err.log"
    [ $? -eq 2 ] || fail "the packaged program does not run"
    # A real install and removal, where this machine allows it and tesmar is not installed already.
    if [ "$(id -u)" -eq 0 ] && ! dpkg -s tesmar >/dev/null 2>&1 && command -v apt-get >/dev/null; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt-get install"; }
      installed_files=$(dpkg -L tesmar)
      [ -x /usr/libexec/xscreensaver/tesmar ] || { apt-get purge -y -qq tesmar >/dev/null 2>&1; fail "no hack after install"; }
      DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tesmar >>"$work/apt.log" 2>&1 || fail "apt-get purge"
      dpkg -s tesmar >/dev/null 2>&1 && fail "still installed after purge"
      for file in $installed_files; do
        case "$file" in /usr/bin/tesmar|/usr/libexec/xscreensaver/tesmar|*/tesmar.*) [ -e "$file" ] && fail "$file left behind" ;; esac
      done
    fi
    ;;

  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
