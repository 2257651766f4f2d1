#!/usr/bin/env bash
# Fails when an include crosses the layers: portable code (sim/, saver/, app/) or the contract tests
# reaching the system or Qt, portable code testing for the platform in a conditional, anything outside
# the back ends reaching a back end's own headers, the engine reaching the saver or the app, and
# platform/ reaching the code built on it.
set -u
root=$1
status=0
system_headers='windows\.h|winuser\.h|wingdi\.h|commdlg\.h|Q[A-Za-z]+|qt[a-z]*/|X11/'

# The names of the headers in the folders (below the root), apart from those of platform/include,
# which any layer may include, as alternatives of a pattern.
headers_of() {
  (cd "$root" && comm -23 <(find "$@" -name '*.h' -printf '%f\n' | sort -u) \
                          <(find platform/include -name '*.h' -printf '%f\n' | sort -u)) |
    sed 's/\./\\./g' | paste -sd'|'
}
# A quoted include of one of those headers, by name or by a path that ends in it.
quoted() { echo "^\\s*#\\s*include\\s*\"([^\"]*/)?($1)\""; }

# Prints the lines of the folders (below the root) that match the pattern, under the message. Files
# whose names match $except are left out.
except=
reject() {
  local message=$1 pattern=$2 hits
  shift 2
  hits=$(cd "$root" && grep -rnE ${except:+--exclude="$except"} "$pattern" "$@" 2>/dev/null)
  [ -z "$hits" ] && return
  echo "$message:"
  echo "$hits"
  status=1
}

back_end_headers=$(quoted "$(headers_of platform/common platform/qt platform/win32)")

# The contract tests run against either back end, so they see only platform/include.
reject "system or Qt headers in portable code or the contract tests" "#\\s*include\\s*[<\"]($system_headers)" \
  sim saver app tests/platform_contract
# What differs between the platforms lives behind platform/include, not in conditionals here.
reject "platform conditionals in portable code" \
  '^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(_WIN32|_WIN64|WIN32|__MINGW32__|_MSC_VER|__linux__|__unix__|__APPLE__|Q_OS_[A-Z]+)\b' \
  sim saver app
reject "a back end's own headers outside the back ends" "$back_end_headers" sim saver app tests/platform_contract
# tesmar-render's render_system_<back end>.cpp hold what it needs of one system beyond the framework.
except='render_system_*' reject "a back end's own headers in the tools" "$back_end_headers" tools
reject "the engine includes the saver or the app" "$(quoted "$(headers_of saver app)")" sim
# The back ends serve the program through platform/include; what they call of it is declared there.
reject "platform/ includes the code built on it" "$(quoted "$(headers_of sim saver app)")" platform
[ $status -eq 0 ] && echo "every layer includes only what it may: the standard library, the layers below it and platform/include"
exit $status
