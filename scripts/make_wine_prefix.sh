#!/bin/sh
# Creates the Wine prefix $WINEPREFIX once (the environment of <build>/wine.env
# must already be exported: prefix, architecture, loader and server).  Without
# a display, windows are created on the null driver; under Xvfb the same
# prefix draws on X11.
set -u
if [ -f "$WINEPREFIX/system.reg" ]; then
  exit 0
fi
"$WINELOADER" wineboot -i >/dev/null 2>&1
"$WINELOADER" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f >/dev/null 2>&1
"$WINESERVER" -w
test -f "$WINEPREFIX/system.reg"
