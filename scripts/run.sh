#!/usr/bin/env bash
# Builds the slate and runs it under Wine: the 32-bit slate where this host
# runs 32-bit programs, the 64-bit one where it does not (TEST_ARCH=x86|x64
# chooses).  With a display, the slate stays until you leave it.  Without one,
# a virtual display is started, a screenshot is saved as slate.png in the
# build folder and the slate is closed with its "Salir" button.
set -euo pipefail
source "$(dirname "$0")/env.sh"
ONE=1 choose_arches running
if ! bash "$repo/scripts/setup.sh" "${arches[@]}"; then
  if [ -n "${TEST_ARCH:-}" ] || [ "${arches[0]}" != x86 ] || ! bash "$repo/scripts/setup.sh" x64; then
    exit 1
  fi
  arches=(x64)
  echo "the 32-bit Wine could not be installed: running the 64-bit build"
fi
use_arch "${arches[0]}"
configure_and_build veslinn

exe="$build/app/veslinn.exe"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  status=0
  "$WINELOADER" "$exe" || status=$?
  echo "veslinn exit code: $status"
  exit $status
fi

start_display
trap 'stop_display; "$WINESERVER" -k 2>/dev/null || true' EXIT
"$WINELOADER" "$exe" &
slate_pid=$!
window=
for _ in $(seq 1 300); do
  window=$(xdotool search --name '^Veslinn$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "the slate did not appear" >&2
  kill "$slate_pid" 2>/dev/null || true
  exit 1
fi
sleep 1
import -window root "$build/slate.png"
echo "screenshot: $build/slate.png"
# "Salir" sits at 206,660 (56 x 24) in the slate's client area.
xdotool mousemove --window "$window" 234 672 click 1
status=0
wait "$slate_pid" || status=$?
echo "veslinn exit code: $status"
exit $status
