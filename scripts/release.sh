#!/bin/sh
# Builds every file in a fresh folder and packs dist/mapcue-<version>-windows.zip from them, so
# nothing left over in build/ can reach a release; beside it, its manifests and SBOM.
# usage: [GITHUB_REPOSITORY=OWNER/NAME] release.sh [DIST_DIR [BUILD_DIR]]  (dist/, a temporary one)
# On a tag (GITHUB_REF_TYPE=tag, as the workflow sets it), GITHUB_REF_NAME must be v + the version.
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(mapcue VERSION \([0-9]*\)\.\([0-9]\)[^0-9].*/\1.0\2/p;
  s/^project(mapcue VERSION \([0-9]*\.[0-9][0-9]\).*/\1/p' CMakeLists.txt)
if [ "${GITHUB_REF_TYPE:-}" = tag ] && [ "$GITHUB_REF_NAME" != "v$version" ]; then
  echo "tag $GITHUB_REF_NAME does not match the project's version $version (CMakeLists.txt)" >&2
  exit 1
fi
dist=$(realpath -m "${1:-dist}")
build=${2:-}
if [ -z "$build" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  build=$work/build
fi
cmake --preset windows -B "$build" -DMAPCUE_DIST_DIR="$dist" >/dev/null
cmake --build "$build" --target release
