#!/usr/bin/env bash
# Runs a Windows program under the Wine loader given first: wine-run.sh LOADER PROGRAM [ARGS...]
# The Wine server and the services it starts inherit the output of the program that started them, so
# a test runner reading that output waits seconds for them to end after every test. When no server
# runs for this prefix, one is started here, with its services, away from the caller's output; it
# ends a while after its last program.
loader=$1
shift
if wineserver -p10 </dev/null >/dev/null 2>&1; then
  "$loader" cmd /c exit </dev/null >/dev/null 2>&1
fi
exec "$loader" "$@"
