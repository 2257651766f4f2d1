#!/usr/bin/env bash
# Fails when a file of sim/, saver/ or app/ includes a system or Qt header directly or tests for the
# platform in a conditional, when sim/ reaches above platform/include, or when the contract tests
# include a back end's or the system's headers.
set -u
root=$1
status=0
platform_headers='windows\.h|winuser\.h|wingdi\.h|commdlg\.h|Q[A-Za-z]+|qt[a-z]*/|X11/'

# Prints the lines of the folders (below the root) that match the pattern, under the message.
reject() {
  local message=$1 pattern=$2 hits
  shift 2
  hits=$(cd "$root" && grep -rnE "$pattern" "$@" 2>/dev/null)
  [ -z "$hits" ] && return
  echo "$message:"
  echo "$hits"
  status=1
}

reject "platform headers in portable code" "#\\s*include\\s*[<\"]($platform_headers)" sim saver app
# What differs between the platforms lives behind platform/include, not in conditionals here.
reject "platform conditionals in portable code" \
  '^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__MINGW32__|_MSC_VER|__linux__|__unix__|__APPLE__|Q_OS_[A-Z]+)\b' \
  sim saver app
reject "the engine includes the saver, the app or a back end" '#\s*include\s*"(tscrnsav|owlscrn25|qt_|win32_)' sim
# The contract tests run against either back end, so they see only platform/include.
reject "the contract tests include a back end or the system directly" \
  "#\\s*include\\s*[<\"]($platform_headers|qt_|win32_)" tests/platform_contract
[ $status -eq 0 ] && echo "portable code includes only the standard library and platform/include, and has no platform conditionals"
exit $status
