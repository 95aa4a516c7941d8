#!/bin/sh
# Runs the slate's read-only cases as an ordinary user, on a copy of the slate
# and its notes in a folder without write permission.
#   nonroot.sh TEST_EXE SLATE_EXE WORK_FOLDER AS_ORDINARY_USER...
# (AS_ORDINARY_USER...: the command of tests/support/as_ordinary_user.sh with
# its folder)
set -u
test_exe=$1
slate_exe=$2
work=$3
shift 3
folder="$work/readonly"

if [ -d "$folder" ]; then
  chmod -R u+w "$folder"
  rm -rf "$folder"
fi
mkdir -p "$folder"
cp "$slate_exe" "$folder/veslinn.exe"
printf 'notes in a read-only folder\r\nsecond line \351\r\n' > "$folder/veslinn.txt"
chmod 0555 "$folder"

VESLINN_READONLY_FOLDER=$(printf 'Z:%s\\' "$(printf '%s' "$folder" | tr '/' '\\')")
export VESLINN_READONLY_FOLDER
"$@" --own "$folder" -- \
  "$WINELOADER" "$test_exe" --gtest_filter='SlateNonRoot.*:SlateAttributes.*'
status=$?
chmod u+w "$folder"
exit $status
