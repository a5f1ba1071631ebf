#!/bin/sh
# Builds every file in a fresh folder and packs dist/mapcue-<version>-windows.zip from them, so
# nothing left over in build/ can reach a release; beside it, its manifests and SBOM.
# usage: [GITHUB_REPOSITORY=OWNER/NAME] release.sh [DIST_DIR [BUILD_DIR]]  (dist/, a temporary one)
# On a tag (GITHUB_REF_TYPE=tag, as the workflow sets it), configuring stops unless its name
# (GITHUB_REF_NAME) is v and the version.
set -eu
cd "$(dirname "$0")/.."
dist=$(realpath -m "${1:-dist}")
build=${2:-}
if [ -z "$build" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  build=$work/build
fi
tag=$([ "${GITHUB_REF_TYPE:-}" != tag ] || echo "$GITHUB_REF_NAME")
cmake --preset windows -B "$build" -DMAPCUE_DIST_DIR="$dist" -DMAPCUE_TAG="$tag" >/dev/null
cmake --build "$build" --target release
