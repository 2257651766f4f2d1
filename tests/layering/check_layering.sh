#!/usr/bin/env bash
# Fails when a file of sim/, saver/ or app/ includes a system or Qt header directly or tests for the
# platform in a conditional, when sim/ reaches above platform/include, or when the contract tests
# include a back end's or the system's headers.
set -u
root=$1
status=0
hits=$(grep -rnE '#\s*include\s*[<"](windows\.h|winuser\.h|wingdi\.h|commdlg\.h|Q[A-Za-z]+|qt[a-z]*/|X11/)' \
  "$root/sim" "$root/saver" "$root/app" 2>/dev/null)
if [ -n "$hits" ]; then
  echo "platform headers in portable code:"
  echo "$hits"
  status=1
fi
# What differs between the platforms lives behind platform/include, not in conditionals here.
hits=$(grep -rnE '^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__MINGW32__|_MSC_VER|__linux__|__unix__|__APPLE__|Q_OS_[A-Z]+)\b' \
  "$root/sim" "$root/saver" "$root/app" 2>/dev/null)
if [ -n "$hits" ]; then
  echo "platform conditionals in portable code:"
  echo "$hits"
  status=1
fi
hits=$(grep -rnE '#\s*include\s*"(tscrnsav|owlscrn25|qt_|win32_)' "$root/sim" 2>/dev/null)
if [ -n "$hits" ]; then
  echo "the engine includes the saver, the app or a back end:"
  echo "$hits"
  status=1
fi
# The contract tests run against either back end, so they see only platform/include.
hits=$(grep -rnE '#\s*include\s*[<"](windows\.h|winuser\.h|wingdi\.h|commdlg\.h|Q[A-Za-z]+|qt[a-z]*/|X11/|qt_|win32_)' \
  "$root/tests/platform_contract" 2>/dev/null)
if [ -n "$hits" ]; then
  echo "the contract tests include a back end or the system directly:"
  echo "$hits"
  status=1
fi
[ $status -eq 0 ] && echo "portable code includes only the standard library and platform/include, and has no platform conditionals"
exit $status
