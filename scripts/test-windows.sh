#!/usr/bin/env bash
# Builds the 32-bit Windows program with MinGW-w64 and checks it (PE32, GUI, imports, size), then runs
# the portable suites, the Windows back end's tests and the end-to-end cases of tesmar.scr under Wine
# on a virtual X display. Where this machine cannot run 32-bit programs (and so no 32-bit Wine), the
# tests come from the 64-bit build of the same sources and run under 64-bit Wine. The 64-bit program
# is always built and runs the cases of the user's files (label wine_files) and the installers' test.
# Ends with one line "N tests passed, N failed out of N" over every run.
# Usage: test-windows.sh [BUILD-DIR [BUILD64-DIR]]   (default: build/windows and build/windows64)
# Environment: JOBS (parallel build jobs, default 2), CTEST_ARGS (extra ctest arguments, default
# "-LE slow|linux" to leave out the long soak runs and Linux-only tests; empty runs everything),
# WINE_BITS (32 or 64 to choose the tests' build instead of detecting it).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build32=$(readlink -f "${1:-$root/build/windows}")
build64=$(readlink -f "${2:-${build32}64}")
jobs=${JOBS:-2}
ctest_args=${CTEST_ARGS--LE slow|linux}

bash "$root/scripts/install-deps.sh" windows

bits=${WINE_BITS:-}
if [ -z "$bits" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then bits=32; else bits=64; fi
fi
case "$bits" in
  32) build=$build32 ;;
  64) build=$build64 ;;
  *) echo "WINE_BITS must be 32 or 64, not '$bits'" >&2; exit 2 ;;
esac

# The replay test compares the Windows tesmar-render with the Linux one of the CI build, which `make
# test` has built by now; built here when missing. Without it that test is skipped.
linux_render=$root/build/ci/tools/tesmar_render/tesmar-render
if ! { (cd "$root" && cmake --preset ci >/dev/null) && cmake --build "$root/build/ci" -j"$jobs" --target tesmar-render >/dev/null; }; then
  echo "the Linux tesmar-render did not build: the replay test will be skipped" >&2
  linux_render=""
fi

# A test executable that does not build must not hide the results of the others: keep going, run
# what was built, and fail at the end.
build_status=0
build_preset() {  # PRESET FOLDER [TARGET]
  local keep_going=()
  local preset=$1 folder=$2
  shift 2
  (cd "$root" && cmake --preset "$preset" -B "$folder" -DTESMAR_LINUX_RENDER="$linux_render" \
     -DTESMAR_SCR32="$build32/tesmar.scr" >/dev/null)
  [ -f "$folder/Makefile" ] && keep_going=(-- -k)
  cmake --build "$folder" -j"$jobs" ${1:+--target "$@"} "${keep_going[@]}" || build_status=$?
}

# The 32-bit program is always built and checked; its tests only where they can run.
if [ "$bits" = 32 ]; then build_preset windows "$build32"; else build_preset windows "$build32" tesmar.scr; fi

scr=$build32/tesmar.scr
if [ ! -f "$scr" ]; then
  echo "tesmar.scr was not built" >&2
  build_status=1
else
  size=$(stat -c %s "$scr")
  headers=$(i686-w64-mingw32-objdump -p "$scr")
  dlls=$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -f | tr '\n' ' ')
  echo "tesmar.scr: $size bytes; imports $dlls"
  grep -qE '^Magic[[:space:]]+010b' <<<"$headers" || { echo "tesmar.scr is not a 32-bit (PE32) program" >&2; exit 1; }
  grep -qE '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers" || { echo "tesmar.scr is not a GUI program" >&2; exit 1; }
  # Floats in SSE2 registers: in the x87 unit they keep 80 bits until stored, and a start would play
  # differently than on Linux (this machine may not run the program to see it).
  grep -qE '"command".*-mfpmath=sse.*sim/phys52\.cpp' "$build32/compile_commands.json" ||
    { echo "the 32-bit engine is not compiled for SSE2 floating point" >&2; exit 1; }
  # Self-contained: only DLLs that every Windows has, nothing from the compiler's run-time DLLs.
  for dll in $dlls; do
    case "${dll^^}" in
      KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMDLG32.DLL|WINMM.DLL|MSVCRT.DLL|SHELL32.DLL|OLE32.DLL) ;;
      *) echo "tesmar.scr imports $dll, which is not among the DLLs every Windows has" >&2
         exit 1 ;;
    esac
  done
fi

loader=/usr/lib/wine/wine
if [ "$bits" = 64 ]; then
  echo "this machine cannot run 32-bit programs (the 32-bit Wine loader does not start): the tests run from the 64-bit build in $build64 under 64-bit Wine"
  build_preset windows64 "$build64"
  loader=/usr/lib/wine/wine64
else
  build_preset windows64 "$build64" tesmar.scr tesmar-render tesmar_wine_probe
fi
[ -f "$build64/tesmar.scr" ] || { echo "the 64-bit tesmar.scr was not built" >&2; build_status=1; }

# The tests' Wine prefix lives in the build folder and never touches the user's own.
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX (once)"
  WINEARCH=win$bits timeout 600 "$loader" wineboot -i >/dev/null 2>&1
  # The registry reaches the disk when the server ends.
  timeout 60 wineserver -w || true
fi

# Files the saver left in the Windows directory (as older versions did) would be found there before the
# per-user folder and change what the tests read.
for name in tes-mar.ini default.tmr tmp.bmp glide.tmr; do rm -f "$WINEPREFIX/drive_c/windows/$name"; done

xvfb_pid=""
cleanup() {
  timeout 20 wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$build/xvfb-display"
}
trap cleanup EXIT

# A display of our own, numbered by the server; the end-to-end cases start their own as well.
Xvfb -displayfd 5 -noreset -screen 0 1024x768x24 -nolisten tcp 5>"$build/xvfb-display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$build/xvfb-display" ] && break
  sleep 0.1
done
[ -s "$build/xvfb-display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$build/xvfb-display")

# One at a time: the cases share the prefix's Windows directory and its Wine server.
test_status=0
passed=0
total=0
run_ctest() {  # FOLDER ARGS...: adds the run's counts to the totals
  local folder=$1 log
  shift
  log=$(mktemp)
  { timeout 5400 ctest --test-dir "$folder" --output-on-failure --timeout 900 "$@" || echo "ctest failed" >"$log.failed"; } 2>&1 |
    tee "$log"
  [ -e "$log.failed" ] && test_status=1
  rm -f "$log.failed"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  rm -f "$log"
  [ -n "$line" ] || return 0
  local bad all
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  all=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + all - bad))
  total=$((total + all))
}
# shellcheck disable=SC2086
run_ctest "$build" $ctest_args
[ "$bits" = 32 ] && run_ctest "$build64" -L 'wine_files|installer'
echo
echo "Windows, all runs: $total tests, $passed passed"
# The summary line test.sh counts.
echo "$((passed * 100 / (total > 0 ? total : 1)))% tests passed, $((total - passed)) tests failed out of $total"
if [ "$build_status" -ne 0 ]; then
  echo "the Windows build failed (see above); the tests ran on what was built" >&2
  exit "$build_status"
fi
exit "$test_status"
