#!/usr/bin/env bash
# Builds the 32-bit Windows program and its tests with MinGW-w64 and runs them under Wine on a virtual
# X display: the portable suites, the Windows back end's tests and the end-to-end cases of tesmar.scr.
# Usage: test-windows.sh [BUILD-DIR]      (default: build/windows, the preset's folder)
# Environment: JOBS (parallel build jobs, default 2), CTEST_ARGS (extra ctest arguments, default
# "-LE slow|linux" to leave out the long soak runs and Linux-only tests; empty runs everything).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-$root/build/windows}")
jobs=${JOBS:-2}
ctest_args=${CTEST_ARGS--LE slow|linux}

bash "$root/scripts/install-deps.sh" windows

(cd "$root" && cmake --preset windows -B "$build" >/dev/null)
# A test executable that does not build must not hide the results of the others: keep going, run
# what was built, and fail at the end.
keep_going=()
[ -f "$build/Makefile" ] && keep_going=(-- -k)
build_status=0
cmake --build "$build" -j"$jobs" "${keep_going[@]}" || build_status=$?

scr=$build/tesmar.scr
if [ ! -f "$scr" ]; then
  echo "tesmar.scr was not built" >&2
  build_status=1
else
  size=$(stat -c %s "$scr")
  dlls=$(i686-w64-mingw32-objdump -p "$scr" | awk '/DLL Name:/ {print $3}' | sort -f | tr '\n' ' ')
  echo "tesmar.scr: $size bytes; imports $dlls"
  # Self-contained: only DLLs that every Windows has, nothing from the compiler's run-time DLLs.
  for dll in $dlls; do
    case "${dll^^}" in
      KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMDLG32.DLL|WINMM.DLL|MSVCRT.DLL) ;;
      *) echo "tesmar.scr imports $dll, which is not among the DLLs every Windows has" >&2
         exit 1 ;;
    esac
  done
fi

# The tests' Wine prefix lives in the build folder and never touches the user's own.
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX (once)"
  WINEARCH=win32 timeout 600 wineboot -i >/dev/null 2>&1
fi

xvfb_pid=""
cleanup() {
  timeout 20 wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$build/xvfb-display"
}
trap cleanup EXIT

# A display of our own, numbered by the server; the end-to-end cases start their own as well.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$build/xvfb-display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$build/xvfb-display" ] && break
  sleep 0.1
done
[ -s "$build/xvfb-display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$build/xvfb-display")

# One at a time: the cases share the prefix's Windows directory and its Wine server.
test_status=0
# shellcheck disable=SC2086
timeout 5400 ctest --test-dir "$build" --output-on-failure --timeout 900 $ctest_args || test_status=$?
if [ "$build_status" -ne 0 ]; then
  echo "the Windows build failed (see above); the tests ran on what was built" >&2
  exit "$build_status"
fi
exit "$test_status"
