#!/bin/sh
# Creates the Wine prefix $WINEPREFIX once (the environment of cmake/wine.env
# must already be exported).  Without a display, windows are created on the
# null driver; under Xvfb the same prefix draws on X11.
set -u
wine_bin=$(command -v wine)
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ -f "$WINEPREFIX/system.reg" ]; then
  exit 0
fi
"$wine_bin" wineboot -i >/dev/null 2>&1
"$wine_bin" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f >/dev/null 2>&1
"$wineserver_bin" -w
test -f "$WINEPREFIX/system.reg"
