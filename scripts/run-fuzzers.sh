#!/usr/bin/env bash
# Runs every fuzz target for a bounded time under ASan and UBSan, starting from the committed seed
# corpus, after replaying the committed regression inputs. Fails on the first crash.
# Usage: run-fuzzers.sh BUILD-FOLDER [SECONDS-PER-TARGET]
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-${FUZZ_SECONDS:-20}}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
status=0
count=0
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  name=${name#fuzz_}
  count=$((count + 1))
  corpus=$work/corpus-$name
  mkdir -p "$corpus"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$corpus/"
  regressions=()
  [ -d "$root/fuzz/regressions/$name" ] && regressions=("$root"/fuzz/regressions/"$name"/*)
  if [ ${#regressions[@]} -gt 0 ] && [ -e "${regressions[0]}" ]; then
    if ! (cd "$work" && "$exe" "${regressions[@]}" >"$work/$name-regressions.log" 2>&1); then
      tail -40 "$work/$name-regressions.log"
      echo "fuzz: $name fails on a kept regression input"
      status=1
      continue
    fi
  fi
  if (cd "$work" && "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$name-" "$corpus" >"$work/$name.log" 2>&1); then
    echo "fuzz: $name: no crash in ${seconds}s ($(grep -Eo '#[0-9]+' "$work/$name.log" | tail -1 | tr -d '#') runs)"
  else
    tail -60 "$work/$name.log"
    mkdir -p "$root/build/fuzz-artifacts"
    cp "$work/$name-"* "$root/build/fuzz-artifacts/" 2>/dev/null
    echo "fuzz: $name crashed; the input is in build/fuzz-artifacts/"
    status=1
  fi
done
[ $count -gt 0 ] || { echo "fuzz: no fuzz targets in $build/fuzz"; exit 1; }
exit $status
