#!/bin/sh
# Two release builds from the same sources, in folders of different paths: every executable
# and the zip must come out bit for bit the same.
set -eu
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in a "b/a longer path"; do
  "$source/scripts/release.sh" "$work/$run/dist" "$work/$run/build" >/dev/null
done
status=0
for file in $(cd "$work/a" && echo build/*/mapcue*.exe dist/mapcue-*-windows.zip); do
  first=$(cd "$work/a" && sha256sum $file) second=$(cd "$work/b/a longer path" && sha256sum $file)
  echo "$first"
  echo "$second"
  [ "$first" = "$second" ] || { echo "FAIL $file differs between the two builds"; status=1; }
done
exit $status
