#!/bin/sh
# Mounts (or unmounts) a small tmpfs for the full-disk test of the slate.  The
# test skips itself when the marker file is missing, so a machine that does
# not allow the mount (not root, no CAP_SYS_ADMIN) only loses that one case.
# 4 MiB hold the slate, its notes and a filler file that uses up the rest.
action=$1
folder=$2
case "$action" in
mount)
  mkdir -p "$folder"
  if mountpoint -q "$folder"; then
    umount "$folder" 2>/dev/null
  fi
  if mount -t tmpfs -o size=4m,mode=0777 veslinn-small-disk "$folder" 2>/dev/null; then
    : > "$folder/tmpfs-mounted"
    echo "small disk mounted at $folder"
  else
    rm -f "$folder/tmpfs-mounted"
    echo "could not mount a tmpfs at $folder (needs root): the full-disk test will skip"
  fi
  exit 0
  ;;
unmount)
  if mountpoint -q "$folder"; then
    umount "$folder" || umount -l "$folder"
  fi
  exit 0
  ;;
esac
echo "usage: $0 mount|unmount FOLDER" >&2
exit 2
