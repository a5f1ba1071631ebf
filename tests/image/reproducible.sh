#!/bin/sh
# Two release builds from the same sources, in folders of different paths: each EXE (CMake's list)
# and every file in dist must come out bit for bit the same, none missing; then dist is checked.
set -eu
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in a "b/a longer path"; do
  "$source/scripts/release.sh" "$work/$run/dist" "$work/$run/build" >/dev/null
done
status=0
[ "$(ls "$work/a/dist")" = "$(ls "$work/b/a longer path/dist")" ] || { echo "FAIL dist differs in files"; status=1; }
for file in $(for exe; do echo "build/$(basename "$(dirname "$exe")")/${exe##*/}"; done; cd "$work/a" && echo dist/*); do
  first=$(cd "$work/a" && sha256sum "$file") second=$(cd "$work/b/a longer path" && sha256sum "$file") ||
    { echo "FAIL $file missing"; status=1; }
  printf '%s\n%s\n' "$first" "$second"
  [ "$first" = "$second" ] || { echo "FAIL $file differs between the two builds"; status=1; }
done
"$source/scripts/node/run.sh" release.mjs "$work/a/dist" || status=1
exit $status
