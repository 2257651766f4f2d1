#!/usr/bin/env bash
# Every download in one folder: the Debian package, and for Windows users the 32-bit and 64-bit savers
# in tesmar-VERSION-windows.zip with a text on installing them, and the installers
# tesmar-VERSION-x86.msi (32-bit saver) and tesmar-VERSION-x64.msi (both), made with wixl.
# Usage: dist.sh [OUT-DIR]   (default build/dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/dist}" && cd "${1:-$root/build/dist}" && pwd)
jobs=${JOBS:-2}

bash "$root/scripts/install-deps.sh" linux windows dist
version=$(sed -nE 's/^project\(tesmar VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "dist.sh: no version in CMakeLists.txt" >&2; exit 1; }

for preset in windows windows64; do
  (cd "$root" && cmake --preset "$preset" >/dev/null)
  cmake --build "$root/build/$preset" -j"$jobs" --target tesmar.scr
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder=$stage/tesmar-$version-windows
mkdir -p "$folder"
cp "$root/build/windows/tesmar.scr" "$folder/tesmar-32bit.scr"
cp "$root/build/windows64/tesmar.scr" "$folder/tesmar-64bit.scr"
# Windows' own editor wants line ends of CR LF.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$root/packaging/windows/INSTALL.txt" >"$folder/INSTALL.txt"

zip=$out/tesmar-$version-windows.zip
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "tesmar-$version-windows")

for arch in x86 x64; do
  bash "$root/packaging/windows/make-msi.sh" "$arch" "$version.0" "$folder/tesmar-32bit.scr" "$folder/tesmar-64bit.scr" \
    "$out/tesmar-$version-$arch.msi"
done

(cd "$root" && cmake --preset linux >/dev/null)
cmake --build "$root/build/linux" -j"$jobs" --target package
cp "$root"/build/linux/tesmar_"$version"_*.deb "$out/"

ls -l "$out"/tesmar_"$version"_*.deb "$zip" "$out/tesmar-$version-x86.msi" "$out/tesmar-$version-x64.msi"
