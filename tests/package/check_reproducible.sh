#!/bin/sh
# Two package builds at different times give the same zip bytes: the package
# is built, the executable removed so that it is linked again, and after a
# pause longer than a zip's two-second time resolution it is built once more.
#   check_reproducible.sh BUILD_FOLDER ZIP
set -u
build=$1
zip=$2
exe="$build/app/veslinn.exe"
pack() {
  cmake --build "$build" --target package >/dev/null 2>&1 || { echo "FAIL: the package target failed"; exit 1; }
  sha256sum "$zip" "$exe" | cut -d' ' -f1 | tr '\n' ' '
}
first=$(pack)
rm -f "$exe" "$zip" "$zip.sha256"
sleep 3
second=$(pack)
echo "first:  $first"
echo "second: $second"
echo "zip: $(wc -c <"$zip") bytes; $(cat "$zip.sha256")"
(cd "$(dirname "$zip")" && sha256sum -c --quiet "$(basename "$zip").sha256") || { echo "FAIL: .sha256 does not match"; exit 1; }
[ "$first" = "$second" ] || { echo "FAIL: the two builds differ"; exit 1; }
echo "ok: the same executable and zip bytes"
