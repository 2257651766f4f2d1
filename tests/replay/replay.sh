#!/usr/bin/env bash
# Plays the same starts with tesmar-render on Linux and with tesmar-render.exe under Wine, and
# compares the final states in default.tmr value by value: two random starts from seeds and a
# parameter file full of collisions and wall contacts, 3,000 steps each.
#   replay.sh LINUX-TESMAR-RENDER WINDOWS-TESMAR-RENDER.EXE [WINE-COMMAND...]
# The Wine prefix is $WINEPREFIX, else the "wineprefix" folder beside the Windows program.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/xvfb.sh
source "$here/../support/xvfb.sh"
linux=$1
windows=$(readlink -f "$2")
wine=("${@:3}")
[ ${#wine[@]} -gt 0 ] || wine=(wine)
frames=3000

if [ -z "$linux" ]; then
  echo "SKIP: no Linux tesmar-render to compare with: configure with -DTESMAR_LINUX_RENDER=PATH"
  echo "(scripts/test-windows.sh builds it and does so)"
  exit 77
fi
linux=$(readlink -f "$linux")
for tool in "${wine[0]}" wineserver Xvfb convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: missing $tool"; exit 77; }
done

export WINEPREFIX=${WINEPREFIX:-$(dirname "$windows")/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

work=$(mktemp -d)
pids=()
stop_wine() {
  timeout 20 wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
}
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

[ -x "$linux" ] || fail "no Linux program $linux"
[ -f "$windows" ] || fail "no Windows program $windows"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  timeout 300 "${wine[@]}" wineboot -i >/dev/null 2>&1 || fail "wineboot did not finish"
fi
# Wine's windows need a display, though the renderer's stay hidden.
start_xvfb 1024x768 || fail "Xvfb did not start"
stop_wine

# Runs one start on one platform in a folder of its own, writing the picture as picture.EXTENSION: the settings (a random start) and an
# empty default.tmr lie in the current folder, where the profile search finds them before the
# Windows directory, so no run sees another's files.
run() {  # PLATFORM START EXTENSION TESMAR-RENDER-OPTIONS...
  local platform=$1 start=$2 extension=$3 dir=$work/$1-$2
  shift 3
  mkdir -p "$dir/config"
  cp "$here/collisions.tmr" "$dir/"
  printf '[tes-mar_ScreenSaver]\nwhat_file=1\n' >"$dir/tes-mar.ini"
  : >"$dir/default.tmr"
  local program=("$linux")
  [ "$platform" = windows ] && program=("${wine[@]}" "$windows")
  (cd "$dir" && XDG_CONFIG_HOME=$dir/config timeout 240 "${program[@]}" --frames "$frames" --out "picture.$extension" "$@") \
    >"$dir/run.log" 2>&1 || { cat "$dir/run.log"; fail "$start on $platform: tesmar-render failed"; }
}

# The key=value lines of a parameter file, line ends and order aside.
values() { tr -d '\r' <"$1" | grep -E '^(gravitation_constant|ball_density|ball_N[1-9]_)' | sort; }

starts=(seed7 seed11 collisions)
declare -A options=([seed7]="--seed 7" [seed11]="--seed 11" [collisions]="--seed 3 --param collisions.tmr")
compared=0
for start in "${starts[@]}"; do
  # One start writes PNG files, the Windows program's own encoder among them.
  extension=bmp
  [ "$start" = collisions ] && extension=png
  # shellcheck disable=SC2086
  run linux "$start" $extension ${options[$start]}
  # shellcheck disable=SC2086
  run windows "$start" $extension ${options[$start]}
  linux_values=$(values "$work/linux-$start/default.tmr")
  windows_values=$(values "$work/windows-$start/default.tmr")
  [ "$(wc -l <<<"$linux_values")" = 47 ] || fail "$start: the Linux default.tmr is not a whole state"
  [ "$(wc -l <<<"$windows_values")" = 47 ] || fail "$start: the Windows default.tmr is not a whole state"
  if [ "$linux_values" != "$windows_values" ]; then
    diff <(echo "$linux_values") <(echo "$windows_values") | head -20
    fail "$start: Linux and Windows end in different states after $frames steps"
  fi
  count=$(cut -d= -f2- <<<"$linux_values" | wc -w)
  compared=$((compared + count))
  echo "$start: $count values equal after $frames steps"
done
# A reader that checks every checksum decodes the Windows PNG to a whole picture of the box.
bytes=$(convert "$work/windows-collisions/picture.png" rgb:- | wc -c)
[ "$bytes" = $((1023 * 767 * 3)) ] || fail "the Windows PNG decodes to $bytes bytes, not a 1023x767 picture"
# The starts must differ, or the comparison proved nothing about the engine.
[ "$(values "$work/linux-seed7/default.tmr")" != "$(values "$work/linux-seed11/default.tmr")" ] ||
  fail "two seeds ended in the same state"
echo "PASS: $compared values of ${#starts[@]} starts equal on Linux and under Wine"
