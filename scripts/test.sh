#!/usr/bin/env bash
# Builds everything and runs every test under Wine (on a virtual display), for
# each architecture this host runs: the 32-bit and the 64-bit build where it
# runs 32-bit programs, the 64-bit build alone where it does not.
#   TEST_ARCH=x86|x64 bash scripts/test.sh    (one architecture only)
set -euo pipefail
source "$(dirname "$0")/env.sh"
choose_arches testing
if ! bash "$repo/scripts/setup.sh" "${arches[@]}"; then
  # Where only the 32-bit packages failed, the 64-bit build can still be tested.
  if [ -n "${TEST_ARCH:-}" ] || [ "${#arches[@]}" -lt 2 ] || ! bash "$repo/scripts/setup.sh" x64; then
    exit 1
  fi
  arches=(x64)
  echo "the 32-bit Wine could not be installed: testing the 64-bit build only"
fi
cd "$repo"

# test_arch ARCH [own]: builds one architecture and runs its tests, on a
# display of its own with "own".
test_arch() {
  use_arch "$1"
  echo "== $(arch_words "$1") build ($preset, $build)"
  configure_and_build || return 1
  start_display "${2:-}" || return 1
  local started=$SECONDS status=0
  ctest --preset "$preset" || status=1
  echo "== $(arch_words "$1") build: CTest took $((SECONDS - started)) s"
  "$WINESERVER" -k 2>/dev/null || true
  stop_display
  return $status
}

if [ "${#arches[@]}" -eq 1 ]; then
  test_arch "${arches[0]}"
  exit $?
fi
# Both architectures side by side: the slate's end-to-end tests run one at a
# time (they find the slate by its caption), so each suite leaves a core
# mostly idle.  Each has its own build, Wine prefix and display; their output
# is shown whole, one after the other.
echo "building and testing both side by side; each one's output follows when both are done"
logs=$(mktemp -d /tmp/veslinn-test.XXXXXX)
trap 'rm -rf "$logs"' EXIT
pids=()
for a in "${arches[@]}"; do
  (test_arch "$a" own >"$logs/$a.log" 2>&1) &
  pids+=($!)
done
status=0
for i in "${!arches[@]}"; do
  wait "${pids[$i]}" || status=1
done
for a in "${arches[@]}"; do
  cat "$logs/$a.log"
done
passed=0 failed=0
for a in "${arches[@]}"; do
  grep -E '^== .*CTest took|tests passed|build failed' "$logs/$a.log" | sed "s/^/$a: /" || true
  read -r total bad < <(sed -n -E 's/.* ([0-9]+) tests failed out of ([0-9]+)$/\2 \1/p' "$logs/$a.log" | tail -n 1) ||
    { total=0 bad=0; status=1; }
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "both: $passed passed, $failed failed"
exit $status
