#!/bin/sh
# Two release builds, from the same sources in folders of different paths: each EXE (CMake's list)
# and every file in dist must match bit for bit, none missing. Then the manifests and SBOM are
# checked again, out loud, with CMake's machines, and packing into a dist holding files must stop.
set -eu
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
a=$work/a b="$work/b/a longer path"
for run in "$a" "$b"; do
  "$source/scripts/release.sh" "$run/dist" "$run/build" >/dev/null
done
status=0
[ "$(ls "$a/dist")" = "$(ls "$b/dist")" ] || { echo "FAIL dist differs in files"; status=1; }
exes=$(for exe; do echo "build/$(basename "$(dirname "$exe")")/${exe##*/}"; done)
for file in $exes $(cd "$a" && echo dist/*); do
  first=$(cd "$a" && sha256sum "$file") second=$(cd "$b" && sha256sum "$file") ||
    { echo "FAIL $file missing"; status=1; }
  printf '%s\n%s\n' "$first" "$second"
  [ "$first" = "$second" ] || { echo "FAIL $file differs between the two builds"; status=1; }
done
version=$(cd "$a/dist" && echo mapcue-*-windows.zip | sed 's/^mapcue-\(.*\)-windows.zip$/\1/')
"$source/scripts/node/run.sh" release.mjs --check "$a/dist" "$version" "$@" || status=1
"$source/scripts/pack-release.sh" "$version" "$a/dist" "$@" 2>&1 | grep 'from before: .*\.zip' ||
  { echo "FAIL packed into a dist that held files from before"; status=1; }
exit $status
