#!/usr/bin/env bash
# Builds everything and runs every test under Wine (on a virtual display).
set -euo pipefail
source "$(dirname "$0")/env.sh"
bash "$repo/scripts/setup.sh"
configure_and_build
start_display
trap stop_display EXIT
cd "$repo"
status=0
ctest --preset windows-x86 || status=$?
"$wineserver_bin" -k 2>/dev/null || true
exit $status
