#!/bin/sh
# Runs a command as an ordinary user.  Wine run as root opens read-only files
# for writing and creates files in read-only folders, which an ordinary Windows
# user cannot: so as root the command runs as "nobody" (uid 65534) with a home
# and a Wine prefix of its own under WORK (made once, kept in the build tree),
# and every PATH given with --own is handed to that user first.  Run by an
# ordinary user, the command runs as that user, or skips (exit 77) with
# --skip-unless-root when everything else has already run as one.
#   as_ordinary_user.sh WORK [--skip-unless-root] [--own PATH]... -- COMMAND...
set -u
work=$1
shift
user_id=65534
own=
while [ "$1" != "--" ]; do
  case "$1" in
  --skip-unless-root)
    if [ "$(id -u)" != 0 ]; then
      echo "[  SKIPPED ] not run as root: the other entries already ran as an ordinary user"
      exit 77
    fi
    ;;
  --own) own="$own $2"; shift ;;
  esac
  shift
done
shift
here=$(cd "$(dirname "$0")" && pwd)
# The build's Wine environment (WINEARCH, WINELOADER, WINESERVER, ...) comes
# from the caller; only the prefix is the user's own.

if [ "$(id -u)" != 0 ]; then
  "$@"
  exit $?
fi
if ! command -v setpriv >/dev/null; then
  echo "setpriv is missing: cannot run as an ordinary user"
  exit 77
fi

as_user() {
  setpriv --reuid=$user_id --regid=$user_id --clear-groups \
    env HOME="$work/home" WINEPREFIX="$work/prefix" "$@"
}

mkdir -p "$work/home"
chown $user_id:$user_id "$work" "$work/home"
if [ ! -f "$work/prefix/system.reg" ]; then
  echo "creating the Wine prefix of user $user_id (once)"
  if ! as_user sh "$here/../../scripts/make_wine_prefix.sh"; then
    echo "could not create a Wine prefix for user $user_id"
    exit 77
  fi
fi
for path in $own; do
  chown -R $user_id:$user_id "$path"
done

as_user "$WINESERVER" -p30
as_user "$@"
status=$?
as_user "$WINESERVER" -k
as_user "$WINESERVER" -w
exit $status
