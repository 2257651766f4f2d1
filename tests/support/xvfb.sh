# Shell helpers of the scripts that run on a virtual X display: source it. They use $work (a scratch
# folder) and the array pids (processes to end on exit).

# Starts Xvfb with one screen of SIZE (WIDTHxHEIGHT) and any further Xvfb options, numbered by the
# server, and exports DISPLAY; its pid goes into pids and xvfb_pid. False when it does not start.
# Clients try a display's abstract socket first; where another server holds it (one whose lock file
# this /tmp does not show, on a machine shared with other tests), they would reach that server. The
# server that lost it stays up, holding its number, and the next one takes another.
# -noreset: by default the server starts itself afresh whenever its last client leaves, and a client
# that connects meanwhile (the saver, just after xdotool placed the pointer) is turned away.
start_xvfb() {
  local size=$1 display="" attempt _
  shift
  for attempt in 1 2 3; do
    display=""
    Xvfb -displayfd 5 -noreset "$@" -screen 0 "${size}x24" -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    for _ in $(seq 1 100); do
      display=$(head -1 "$work/display" 2>/dev/null)
      [ -n "$display" ] && break
      sleep 0.1
    done
    [ -n "$display" ] || { cat "$work/xvfb.log" >&2; return 1; }
    export DISPLAY=:$display
    listens_abstract "$xvfb_pid" "$display" && return 0
  done
  echo "no display number whose sockets were free" >&2
  return 1
}

# True when process $1 listens on the abstract socket of X display $2.
listens_abstract() {
  local inode
  for inode in $(awk -v name="@/tmp/.X11-unix/X$2" '$8 == name && $4 == "00010000" {print $7}' /proc/net/unix); do
    ls -l "/proc/$1/fd" 2>/dev/null | grep -q "socket:\[$inode\]" && return 0
  done
  return 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1 i
  shift
  for i in $(seq 1 $((limit * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for process $1, a child of the script, to end; its exit status lands in $status.
wait_exit() {
  local pid=$1 limit=$2 _
  for _ in $(seq 1 $((limit * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# True while a saver holds the saver-running flag: a lock on a file in XDG_RUNTIME_DIR.
lock_held() {
  local f
  for f in "$XDG_RUNTIME_DIR"/*.lock; do
    [ -e "$f" ] || continue
    flock -n "$f" true || return 0
  done
  return 1
}
