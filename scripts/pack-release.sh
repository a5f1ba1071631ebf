#!/bin/sh
# Packs DIST/mapcue-VERSION-windows.zip (the executables, README.md, LICENSE, SHA256SUMS) and
# its own checksum beside it. Fixed modes, times and order, and no extra attributes, so the same
# inputs give the same bytes. Run by the `release` build target.
# usage: pack-release.sh VERSION DIST EXE...
set -eu
version=$1 dist=$2
shift 2
source=$(cd "$(dirname "$0")/.." && pwd)
export TZ=UTC LC_ALL=C  # zip stores local times
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 315532800)}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$@" "$source/README.md" "$source/LICENSE" "$stage/"
files=""
for exe; do files="$files $(basename "$exe")"; done
files="$files README.md LICENSE"
# shellcheck disable=SC2086
(cd "$stage" && sha256sum $files >SHA256SUMS)
files="$files SHA256SUMS"
for file in $files; do
  chmod 644 "$stage/$file"
  touch -d "@$epoch" "$stage/$file"
done
name=mapcue-$version-windows.zip
mkdir -p "$dist"
# shellcheck disable=SC2086
(cd "$stage" && zip -X -D -q "$name" $files)
mv "$stage/$name" "$dist/$name"
(cd "$dist" && sha256sum "$name" >"$name.sha256")
echo "$dist/$name"
