#!/bin/sh
# Mounts (or unmounts) a small tmpfs for a full-disk test, as the set-up and
# clean-up of a CTest fixture.  A mounted disk holds the marker file
# `tmpfs-mounted`; the tests skip themselves without it, so a machine that does
# not allow the mount (not root, no CAP_SYS_ADMIN) only loses those cases.
#   small_disk.sh mount FOLDER SIZE | unmount FOLDER
action=$1
folder=$2
case "$action" in
mount)
  mkdir -p "$folder"
  if mountpoint -q "$folder"; then
    umount "$folder" 2>/dev/null
  fi
  if mount -t tmpfs -o "size=$3,mode=0777" veslinn-small-disk "$folder" 2>/dev/null; then
    : > "$folder/tmpfs-mounted"
    echo "small disk of $3 mounted at $folder"
  else
    rm -f "$folder/tmpfs-mounted"
    echo "could not mount a tmpfs at $folder (needs root): the full-disk tests will skip"
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
echo "usage: $0 mount FOLDER SIZE | unmount FOLDER" >&2
exit 2
