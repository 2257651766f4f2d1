#!/usr/bin/env bash
# Runs every fuzz target under ASan and UBSan, starting from the committed seed corpus, after replaying
# the committed regression inputs; prints the inputs run and their rate per target. Fails on a crash.
# Usage: run-fuzzers.sh BUILD-FOLDER [SECONDS-PER-TARGET]   a bounded time per target (default 20)
#        run-fuzzers.sh BUILD-FOLDER --runs N [TARGET...]   N inputs per target (a campaign)
# With --runs, FUZZ_JOBS targets run side by side (default 1), in the order named, and the corpus
# each grew is kept in build/fuzz-corpus/<target> and started from the next time.
set -uo pipefail
build=$(cd "$1" && pwd)
shift
runs=
seconds=${FUZZ_SECONDS:-20}
if [ "${1:-}" = --runs ]; then
  runs=${2:?--runs needs a number}
  shift 2
elif [ $# -gt 0 ]; then
  seconds=$1
  shift
fi
only=("$@")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A smaller quarantine than the default 256 MB: freed memory is reused within a few seconds instead
# of every allocation faulting in a fresh page, which halves the rate of the readers that allocate.
# Five frames of each allocation's stack instead of 30: a report still names the allocating code,
# and the readers that allocate per line run a tenth faster.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=32:malloc_context_size=5
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"

# Runs one target; its summary goes to $work/<name>.result, its status is the exit status.
run_target() {
  local exe=$1 name=$2
  local corpus=$work/corpus-$name
  [ -n "$runs" ] && corpus=$root/build/fuzz-corpus/$name
  mkdir -p "$corpus" "$work/cwd-$name"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$corpus/"
  local regressions=()
  [ -d "$root/fuzz/regressions/$name" ] && regressions=("$root"/fuzz/regressions/"$name"/*)
  if [ ${#regressions[@]} -gt 0 ] && [ -e "${regressions[0]}" ]; then
    if ! (cd "$work/cwd-$name" && "$exe" "${regressions[@]}" >"$work/$name-regressions.log" 2>&1); then
      tail -40 "$work/$name-regressions.log"
      echo "fuzz: $name fails on a kept regression input" >"$work/$name.result"
      return 1
    fi
  fi
  local limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs")
  local start end
  start=$(date +%s.%N)
  if (cd "$work/cwd-$name" && "$exe" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/$name-" "$corpus" >"$work/$name.log" 2>&1); then
    end=$(date +%s.%N)
    local done
    done=$(grep -Eo '^stat::number_of_executed_units: *[0-9]+' "$work/$name.log" | grep -Eo '[0-9]+$')
    awk -v name="$name" -v n="${done:-0}" -v t0="$start" -v t1="$end" \
      'BEGIN { printf "fuzz: %s: no crash: %d inputs in %.0f s, %d a second\n", name, n, t1 - t0, n / (t1 - t0) }' \
      >"$work/$name.result"
    return 0
  fi
  tail -60 "$work/$name.log"
  mkdir -p "$root/build/fuzz-artifacts"
  cp "$work/$name-"crash-* "$work/$name-"leak-* "$work/$name-"timeout-* "$work/$name-"oom-* \
    "$root/build/fuzz-artifacts/" 2>/dev/null
  echo "fuzz: $name crashed; the input is in build/fuzz-artifacts/" >"$work/$name.result"
  return 1
}

status=0
names=()
if [ ${#only[@]} -gt 0 ]; then
  for name in "${only[@]}"; do
    [ -x "$build/fuzz/fuzz_$name" ] || { echo "fuzz: no target $name in $build/fuzz"; exit 1; }
    names+=("$name")
  done
else
  for exe in "$build"/fuzz/fuzz_*; do
    [ -x "$exe" ] || continue
    name=$(basename "$exe")
    names+=("${name#fuzz_}")
  done
fi
[ ${#names[@]} -gt 0 ] || { echo "fuzz: no fuzz targets in $build/fuzz"; exit 1; }

jobs=1
[ -n "$runs" ] && jobs=${FUZZ_JOBS:-1}
running=0
for name in "${names[@]}"; do
  run_target "$build/fuzz/fuzz_$name" "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
for name in "${names[@]}"; do cat "$work/$name.result" 2>/dev/null || { echo "fuzz: $name gave no result"; status=1; }; done
exit $status
