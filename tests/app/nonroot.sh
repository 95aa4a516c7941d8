#!/bin/sh
# Runs the slate's read-only cases as an ordinary user.  As root, Wine opens a
# read-only file for writing and creates files in a read-only folder, which an
# ordinary Windows user cannot: so as root the cases run as "nobody" with a
# Wine prefix of that user's own (made once, kept in the build tree).  When
# the suite already runs as an ordinary user, they run as that user.
#   nonroot.sh TEST_EXE SLATE_EXE WORK_FOLDER
set -u
test_exe=$1
slate_exe=$2
work=$3
filter='SlateNonRoot.*:SlateAttributes.*'
wine_bin=$(command -v wine)
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)
user_id=65534

windows_path() {
  printf 'Z:%s\\' "$(printf '%s' "$1" | tr '/' '\\')"
}

# The read-only folder: the slate and its notes, no write permission.
prepare_folder() {
  folder=$1
  if [ -d "$folder" ]; then
    chmod -R u+w "$folder"
    rm -rf "$folder"
  fi
  mkdir -p "$folder"
  cp "$slate_exe" "$folder/veslinn.exe"
  printf 'notes in a read-only folder\r\nsecond line \351\r\n' > "$folder/veslinn.txt"
}

if [ "$(id -u)" != 0 ]; then
  mkdir -p "$work"
  prepare_folder "$work/readonly"
  chmod 0555 "$work/readonly"
  VESLINN_READONLY_FOLDER=$(windows_path "$work/readonly") \
    "$wine_bin" "$test_exe" --gtest_filter="$filter"
  status=$?
  chmod u+w "$work/readonly"
  exit $status
fi

if ! command -v setpriv >/dev/null; then
  echo "setpriv is missing: cannot run the read-only cases as an ordinary user"
  exit 77
fi

as_user() {
  setpriv --reuid=$user_id --regid=$user_id --clear-groups \
    env HOME="$work/home" WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all \
        "WINEDLLOVERRIDES=mscoree,mshtml,winedbg.exe=d" "$@"
}

mkdir -p "$work/home"
chown $user_id:$user_id "$work" "$work/home"
if [ ! -f "$work/prefix/system.reg" ]; then
  echo "creating the Wine prefix of user $user_id (once)"
  as_user "$wine_bin" wineboot -i >/dev/null 2>&1
  as_user "$wine_bin" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11,null /f >/dev/null 2>&1
  as_user "$wineserver_bin" -w
fi
if [ ! -f "$work/prefix/system.reg" ]; then
  echo "could not create a Wine prefix for user $user_id"
  exit 77
fi

prepare_folder "$work/readonly"
chown -R $user_id:$user_id "$work/readonly"
chmod 0555 "$work/readonly"

as_user "$wineserver_bin" -p30
as_user env VESLINN_READONLY_FOLDER="$(windows_path "$work/readonly")" \
  "$wine_bin" "$test_exe" --gtest_filter="$filter"
status=$?
as_user "$wineserver_bin" -k
as_user "$wineserver_bin" -w
exit $status
