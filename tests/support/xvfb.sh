# Shell helpers of the scripts that run on a virtual X display: source it. They use $work (a scratch
# folder) and the array pids (processes to end on exit).

# Starts Xvfb with one screen of SIZE (WIDTHxHEIGHT) and any further Xvfb options, numbered by the
# server, and exports DISPLAY; its pid goes into pids and xvfb_pid. False when it does not start.
start_xvfb() {
  local size=$1 display="" _
  shift
  Xvfb -displayfd 5 "$@" -screen 0 "${size}x24" -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  pids+=("$xvfb_pid")
  for _ in $(seq 1 100); do
    display=$(head -1 "$work/display" 2>/dev/null)
    [ -n "$display" ] && break
    sleep 0.1
  done
  [ -n "$display" ] || { cat "$work/xvfb.log" >&2; return 1; }
  export DISPLAY=:$display
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
