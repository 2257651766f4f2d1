#!/usr/bin/env bash
# Where tesmar-render's final state goes, run as an ordinary user: a default.tmr found in a folder the
# user cannot write (the current one here) is read, the write goes to the user's own copy, which is
# read from then on, and the tool says where it wrote; with nowhere to write it fails and says so.
#   render_files.sh PATH-TO-TESMAR-RENDER
set -uo pipefail
# shellcheck source=../support/test_user.sh
source "$(dirname "$0")/../support/test_user.sh"
render_built=$(readlink -f "$1")
test_user=tesmar-files
work=$(mktemp -d /tmp/tesmar-files-XXXXXX)
chmod 755 "$work"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; [ -f "$work/log" ] && cat "$work/log"; exit 1; }

pick_test_user "$test_user" || fail "cannot create the user $test_user"
mkdir -p "$work/bin" "$work/config" "$work/shared"
cp "$render_built" "$work/bin/tesmar-render"
[ "$owner" != "$(id -un)" ] && chown -R "$owner" "$work/bin" "$work/config"
own=$work/config/tes-mar/default.tmr

# An administrator's start, which the user may read but not write.
printf '[tes-mar_ScreenSaver]\nkept_by_the_copy=yes\n' >"$work/shared/default.tmr"
chmod 444 "$work/shared/default.tmr"
chmod 555 "$work/shared"
cp "$work/shared/default.tmr" "$work/admin.tmr"

# Runs a command as the user in the administrator's folder.
as_user() {
  (cd "$work/shared" && as_owner HOME="$work" XDG_CONFIG_HOME="$work/config" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen "$@")
}
render() { as_user "$work/bin/tesmar-render" "$@" >"$work/log" 2>&1; }

if as_user touch probe 2>/dev/null; then
  echo "SKIP: $owner can write a folder of mode 555"; exit 77
fi
for run in first second; do
  render --size 160x120 --frames 20 --out "$work/bin/$run.bmp" || fail "the $run run failed"
  grep -qx "final state: $own" "$work/log" || fail "the $run run reports another final state"
  grep -q '^ball_N9_red_green_blue_0-255=' "$own" || fail "the user's default.tmr is not whole"
  cmp -s "$work/admin.tmr" "$work/shared/default.tmr" || fail "the administrator's default.tmr changed"
done
# The user's copy took the administrator's other values along.
grep -qx 'kept_by_the_copy=yes' "$own" || fail "the user's copy lost the administrator's values"

# Nowhere to write: the user's folder is a file.
rm -rf "$work/config/tes-mar"
touch "$work/config/tes-mar"
[ "$owner" != "$(id -un)" ] && chown "$owner" "$work/config/tes-mar"
render --size 160x120 --frames 5 --out "$work/bin/third.bmp" && fail "a run with nowhere to write reported success"
grep -q 'cannot write the final state' "$work/log" || fail "the failed run did not say so"
grep -q '^final state:' "$work/log" && fail "the failed run named a final state it never wrote"
echo "PASS: render_files"
