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
start_display
trap stop_display EXIT
cd "$repo"
status=0
for a in "${arches[@]}"; do
  use_arch "$a"
  echo "== $(arch_words "$a") build ($preset, $build)"
  if ! configure_and_build; then
    status=1
    continue
  fi
  started=$SECONDS
  ctest --preset "$preset" || status=1
  echo "== $(arch_words "$a") build: CTest took $((SECONDS - started)) s"
  "$WINESERVER" -k 2>/dev/null || true
done
exit $status
