#!/usr/bin/env bash
# Builds everything and runs every test under Wine (on a virtual display), for
# each architecture this host runs: the 32-bit and the 64-bit build where it
# runs 32-bit programs, the 64-bit build alone where it does not.
#   TEST_ARCH=x86|x64 bash scripts/test.sh    (one architecture only)
# Ends with one line per phase and its seconds, then the count of passed and
# failed tests.
set -euo pipefail
source "$(dirname "$0")/env.sh"
logs=$(mktemp -d /tmp/veslinn-test.XXXXXX)
trap 'rm -rf "$logs"' EXIT
# Each phase adds "time: PHASE N s" to its own file here.
note_time() {  # note_time FILE PHASE START_SECONDS
  echo "time: $2 $((SECONDS - $3)) s" >>"$logs/$1.times"
}

started=$SECONDS
choose_arches testing
if ! bash "$repo/scripts/setup.sh" "${arches[@]}"; then
  # Where only the 32-bit packages failed, the 64-bit build can still be tested.
  if [ -n "${TEST_ARCH:-}" ] || [ "${#arches[@]}" -lt 2 ] || ! bash "$repo/scripts/setup.sh" x64; then
    exit 1
  fi
  arches=(x64)
  echo "the 32-bit Wine could not be installed: testing the 64-bit build only"
fi
note_time 0-setup set-up "$started"
cd "$repo"

# test_arch ARCH [own]: builds one architecture and runs its tests, on a
# display of its own with "own".  CTest's summary goes to <logs>/ARCH.ctest.
test_arch() {
  use_arch "$1"
  local words
  words=$(arch_words "$1")
  echo "== $words build ($preset, $build)"
  local started=$SECONDS status=0
  configure_and_build || return 1
  note_time "1-$arch" "$words configure and build" "$started"
  start_display "${2:-}" || return 1
  started=$SECONDS
  # TEST_JOBS overrides the test preset's job count, for measuring.
  ctest --preset "$preset" ${TEST_JOBS:+-j "$TEST_JOBS"} | tee "$logs/$arch.ctest" || status=1
  note_time "2-$arch" "$words CTest" "$started"
  "$WINESERVER" -k 2>/dev/null || true
  stop_display
  return $status
}

# count_results ARCH: adds the arch's passed and failed tests to the totals;
# false when CTest gave no summary.
passed=0 failed=0
count_results() {
  local total bad
  read -r total bad < <(sed -n -E 's/.* ([0-9]+) tests failed out of ([0-9]+)$/\2 \1/p' \
    "$logs/$1.ctest" 2>/dev/null | tail -n 1) || return 1
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

status=0
if [ "${#arches[@]}" -eq 1 ]; then
  test_arch "${arches[0]}" || status=1
else
  # Both architectures side by side, each with its own build, Wine prefix and
  # display; their output is shown whole, one after the other.
  echo "building and testing both side by side; each one's output follows when both are done"
  pids=()
  for a in "${arches[@]}"; do
    (test_arch "$a" own >"$logs/$a.log" 2>&1) &
    pids+=($!)
  done
  for i in "${!arches[@]}"; do
    wait "${pids[$i]}" || status=1
  done
  for a in "${arches[@]}"; do
    cat "$logs/$a.log"
  done
  for a in "${arches[@]}"; do
    grep -E 'tests passed|build failed' "$logs/$a.log" | sed "s/^/$a: /" || true
  done
fi
note_time 3-total total "$started"
cat "$logs"/*.times
for a in "${arches[@]}"; do
  count_results "$a" || status=1
done
if [ "${#arches[@]}" -eq 1 ]; then
  echo "${arches[0]}: $passed passed, $failed failed"
else
  echo "both: $passed passed, $failed failed"
fi
exit $status
