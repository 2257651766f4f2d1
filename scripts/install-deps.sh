#!/usr/bin/env bash
# Installs the Debian packages a build or test needs, only when something is missing.
# Usage: install-deps.sh [linux] [windows] [fuzz] [bench]
set -euo pipefail

want_linux=0; want_windows=0; want_fuzz=0; want_bench=0
for arg in "${@:-linux}"; do
  case "$arg" in
    linux) want_linux=1 ;;
    windows) want_windows=1 ;;
    fuzz) want_fuzz=1 ;;
    bench) want_bench=1 ;;
    *) echo "install-deps: unknown group '$arg'" >&2; exit 2 ;;
  esac
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

packages=()
if [ $want_linux -eq 1 ]; then
  # compiler, build, tests; Qt 6 for the window back end; Xvfb, xdotool and ImageMagick for end-to-end tests
  packages+=(g++ cmake make libgtest-dev libgmock-dev qt6-base-dev libgl-dev xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick libxext-dev libx11-dev fonts-liberation)
  # the hosts' X11 windows; the Debian package; the tests with the real screen-saver hosts
  packages+=(pkg-config libxcb1-dev dpkg-dev xscreensaver xscreensaver-data x11-xserver-utils mate-screensaver dbus
             desktop-file-utils libxml2-utils)
  # the saver on Wayland when the compositor goes away: a headless sway and Qt's wayland platform
  packages+=(sway qt6-wayland)
fi
if [ $want_fuzz -eq 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [ $want_bench -eq 1 ]; then
  # scripts/bench-cpu.sh: fluidballs as the yardstick, a C compiler for its frame counter
  packages+=(xscreensaver-data-extra gcc xvfb xauth xdotool)
fi
if [ $want_windows -eq 1 ]; then
  # wine64 and the x86-64 compiler: where the kernel runs no 32-bit program, the tests run 64-bit.
  packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
             wine wine32:i386 wine64 xvfb xauth xdotool x11-utils imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if [ $want_windows -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
as_root apt-get update -qq
as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
