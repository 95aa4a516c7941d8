#!/bin/bash
# The slate on a small screen: a display of its own, 1280x720 (what a 1080p
# laptop at 150 % gives a program that is not DPI-aware), where the slate at
# its usual place would reach below the bottom edge.
#   small_screen.sh TEST_EXE
# The prefix's programs share one wineserver, and with it one display: the
# server is ended, the test runs with a server on the small display, and the
# run's own server comes back on the usual display.  So nothing else may run
# meanwhile (RUN_SERIAL).
set -u
test_exe=$1
source "$(dirname "$0")/../../scripts/env.sh"
usual_display=${DISPLAY:-}

restart_server() {  # restart_server DISPLAY
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w
  DISPLAY=$1 "$WINESERVER" -p600 </dev/null >/dev/null 2>&1
  DISPLAY=$1 "$WINELOADER" wineboot </dev/null >/dev/null 2>&1
}

XVFB_SCREEN=1280x720x24 start_display own || exit 1
small_display=$DISPLAY
restart_server "$small_display"
"$WINELOADER" "$test_exe" --gtest_filter='SlateScreenSize.test_whole_slate_on_a_small_screen'
status=$?
restart_server "$usual_display"
stop_display
exit $status
