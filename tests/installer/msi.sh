#!/usr/bin/env bash
# The Windows installers under Wine's msiexec, on a 64-bit prefix of their own:
#   msi.sh SAVER32 SAVER64 VERSION [WINE64-LOADER]
# x64: the 32-bit saver lands in SysWOW64, the 64-bit one in System32, with an entry in the list of
# installed programs; x86: the 32-bit saver alone. A silent removal takes all of it away again, and
# neither touches the user's chosen saver, its timeout or its lock.
set -uo pipefail
saver32=$(readlink -f "$1")
saver64=$(readlink -f "$2")
version=$3
wine=${4:-/usr/lib/wine/wine64}
here=$(cd "$(dirname "$0")" && pwd)
for tool in "$wine" wineserver wixl; do
  command -v "$tool" >/dev/null || { echo "SKIP: missing $tool"; exit 77; }
done
[ -f "$saver32" ] || { echo "SKIP: no 32-bit tesmar.scr at $1"; exit 77; }

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  timeout 20 wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

timeout 600 "$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot did not finish"
system32=$WINEPREFIX/drive_c/windows/system32
syswow64=$WINEPREFIX/drive_c/windows/syswow64

desktop='HKCU\Control Panel\Desktop'
for value in "SCRNSAVE.EXE=C:\\windows\\system32\\other.scr" ScreenSaveTimeOut=600 ScreenSaverIsSecure=1 ScreenSaveActive=1; do
  "$wine" reg add "$desktop" /v "${value%%=*}" /t REG_SZ /d "${value#*=}" /f >/dev/null 2>&1 || fail "cannot set $value"
done
desktop_values() { "$wine" reg query "$desktop" 2>/dev/null | tr -d '\r' | grep -iE 'scrnsave|screensave' | sort; }
before=$(desktop_values)
# Entries among the installed programs, in the 64-bit and the 32-bit view of the registry.
installed_entries() {
  local view
  for view in 64 32; do
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view 2>/dev/null
  done | tr -d '\r' | grep -c 'DisplayName.*REG_SZ.*Tesmar$'
}

for arch in x64 x86; do
  msi=$work/tesmar-$arch.msi
  bash "$here/../../packaging/windows/make-msi.sh" "$arch" "$version" "$saver32" "$saver64" "$msi" || fail "wixl failed for $arch"
  "$wine" msiexec /i "$msi" /qn || fail "the silent install of the $arch package failed"
  cmp -s "$saver32" "$syswow64/tesmar.scr" || fail "$arch: no 32-bit tesmar.scr in SysWOW64"
  if [ "$arch" = x64 ]; then
    cmp -s "$saver64" "$system32/tesmar.scr" || fail "x64: no 64-bit tesmar.scr in System32"
  else
    [ ! -e "$system32/tesmar.scr" ] || fail "x86: a saver in System32"
  fi
  [ "$(installed_entries)" -eq 1 ] || fail "$arch: no entry among the installed programs"
  [ "$(desktop_values)" = "$before" ] || fail "$arch: the install changed the user's saver settings"

  "$wine" msiexec /x "$msi" /qn || fail "the silent removal of the $arch package failed"
  [ ! -e "$system32/tesmar.scr" ] && [ ! -e "$syswow64/tesmar.scr" ] || fail "$arch: a tesmar.scr stayed behind"
  [ "$(installed_entries)" -eq 0 ] || fail "$arch: the entry among the installed programs stayed"
  [ "$(desktop_values)" = "$before" ] || fail "$arch: the removal changed the user's saver settings"
  echo "$arch: installed and removed"
done
echo "PASS: msi"
