#!/usr/bin/env bash
# Every test of the project: the Linux build (warnings as errors) with its unit and end-to-end tests,
# the portable and Linux tests again under ASan and UBSan, the bounded fuzz runs, and the Windows
# program with its tests under Wine. Ends with one line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0
logdir=$root/build/test-logs
mkdir -p "$logdir"

stage() { printf '\n==== %s ====\n' "$*"; }

# Runs ctest in a build folder with extra arguments and adds its counts to the totals.
run_ctest() {
  local dir=$1 name=$2
  shift 2
  local log=$logdir/$name.log
  (cd "$dir" && ctest --output-on-failure --timeout 600 "$@") 2>&1 | tee "$log"
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then return 0; fi
    echo "test.sh: ctest in $dir gave no summary" >&2
    failed=$((failed + 1))
    return 0
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

# A build step that fails counts as one failure and skips its tests.
build() {
  local preset=$1
  shift
  if ! cmake --preset "$preset" >"$logdir/configure-$preset.log" 2>&1; then
    cat "$logdir/configure-$preset.log"
    echo "test.sh: configuring $preset failed" >&2
    failed=$((failed + 1))
    return 1
  fi
  if ! cmake --build "build/$preset" -j"$jobs" "$@"; then
    echo "test.sh: building $preset failed" >&2
    failed=$((failed + 1))
    return 1
  fi
}

stage "packages"
bash scripts/install-deps.sh linux fuzz windows dist || { echo "test.sh: installing packages failed" >&2; exit 1; }

stage "Linux build, warnings as errors"
if build ci; then
  stage "Linux tests"
  run_ctest build/ci linux -LE e2e -j2
  stage "Linux end-to-end tests on Xvfb"
  run_ctest build/ci e2e -L e2e
fi

stage "ASan and UBSan build"
if build sanitize; then
  stage "tests under ASan and UBSan"
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest build/sanitize sanitize -LE 'e2e|slow' -j2
fi

if [ -f fuzz/CMakeLists.txt ]; then
  stage "fuzz targets, bounded runs"
  if build fuzz; then
    if bash scripts/run-fuzzers.sh build/fuzz; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  fi
fi

if [ -f scripts/test-windows.sh ]; then
  stage "Windows program and tests under Wine"
  bash scripts/test-windows.sh 2>&1 | tee "$logdir/windows.log"
  windows_status=${PIPESTATUS[0]}
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$logdir/windows.log" | tail -1)
  if [ -n "$line" ]; then
    bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  # A build or set-up failure that ran no test still fails the run.
  if [ "$windows_status" -ne 0 ] && { [ -z "$line" ] || [ "$bad" -eq 0 ]; }; then failed=$((failed + 1)); fi
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
