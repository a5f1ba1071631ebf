#!/bin/sh
# Packs DIST/mapcue-VERSION-windows.zip (the executables, README.md, LICENSE, SHA256SUMS) and,
# beside it, its checksum, manifests and SBOM (node/release.mjs). Fixed modes, times and order,
# and no extra attributes, so the same inputs give the same bytes. Run by the `release` target.
# usage: pack-release.sh VERSION DIST EXE...
set -eu
version=$1 dist=$2
shift 2
source=$(cd "$(dirname "$0")/.." && pwd)
export TZ=UTC LC_ALL=C  # zip stores local times
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || :)}
[ -n "$epoch" ] || { echo "pack-release.sh: no commit time: set SOURCE_DATE_EPOCH" >&2 && exit 1; }
# A tag publishes all of DIST: it may hold nothing but what this release writes.
stale=$(find "$dist" -mindepth 1 -maxdepth 1 -printf '%f ' 2>/dev/null || :)
[ -z "$stale" ] || { echo "pack-release.sh: $dist holds files from before: $stale" >&2 && exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# Where MAPCUE_SIGNED is set, the signed files it holds (win-ARCH/FILE) are packed instead.
for exe; do
  [ -z "${MAPCUE_SIGNED:-}" ] || exe=$MAPCUE_SIGNED/win-$(basename "$(dirname "$exe")")/${exe##*/}
  cp "$exe" "$stage/"
done
cp "$source/README.md" "$source/LICENSE" "$stage/"
files="$(for exe; do basename "$exe"; done | tr '\n' ' ')README.md LICENSE"
name=mapcue-$version-windows.zip
# shellcheck disable=SC2086
(cd "$stage" && sha256sum $files >SHA256SUMS && chmod 644 $files SHA256SUMS &&
  touch -d "@$epoch" $files SHA256SUMS && zip -X -D -q "$name" $files SHA256SUMS)
mkdir -p "$dist" && mv "$stage/$name" "$dist/$name"
(cd "$dist" && sha256sum "$name" >"$name.sha256")
SOURCE_DATE_EPOCH=$epoch "$source/scripts/node/run.sh" release.mjs "$dist" "$version" "$@"
echo "$dist/$name"
