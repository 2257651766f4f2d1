#!/usr/bin/env bash
# Makes one Windows installer with wixl from tesmar.wxs:
#   make-msi.sh x86|x64 VERSION SAVER32 SAVER64 OUT.msi     (SAVER64 is not used for x86)
set -euo pipefail
arch=$1 version=$2 saver32=$(readlink -f "$3") saver64=$(readlink -f "$4") out=$5
here=$(cd "$(dirname "$0")" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# wixl finds the files by names relative to where it runs.
cp "$saver32" "$stage/tesmar-32bit.scr"
cp "$saver64" "$stage/tesmar-64bit.scr"
cp "$here/../../resources/tesmar.ico" "$stage/tesmar.ico"
out=$(readlink -f "$out")
(cd "$stage" && wixl -a "$arch" -D Version="$version" -D Arch="$arch" -D Saver32=tesmar-32bit.scr \
   -D Saver64=tesmar-64bit.scr -D Icon=tesmar.ico -o "$out" "$here/tesmar.wxs")
