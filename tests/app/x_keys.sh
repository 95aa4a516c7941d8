#!/bin/sh
# Real keys through the X keyboard (XTEST), for the slate's tests:
#   x_keys.sh X_WINDOW XDOTOOL_ARGUMENT...
# gives the X window the X focus (no window manager gives it), then runs
# xdotool with the arguments.  A window just shown may not be on the X server
# yet: the focus is tried until it takes, for up to 5 s.
window=$1
shift
exec </dev/null >/dev/null
tries=0
until xdotool windowfocus --sync "$window" 2>/dev/null; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "x_keys.sh: X window $window takes no focus" >&2; exit 1; }
  sleep 0.05
done
exec xdotool "$@"
