#!/bin/sh
# Every test: the portable core natively, then mapcue.exe end to end under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
start=$(date +%s)
for preset in native windows; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  ctest --preset "$preset"
done
echo "all tests passed in $(( $(date +%s) - start )) s"
