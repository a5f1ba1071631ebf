#!/bin/sh
# Builds mapcue.exe and runs it under Wine in a demo prefix where n: is mapped to
# \\fileserver\public\docs. With arguments, runs mapcue.exe with them instead.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target mapcue >/dev/null
echo "preparing a Wine prefix with a network drive (first time takes a while)..."
exec scripts/wine-prefix.sh run build/demo-prefix sh -c '
  run() {
    echo "> mapcue $*"
    status=0
    wine build/windows/mapcue.exe "$@" 2>>"$WINEPREFIX/wine-stderr.log" || status=$?
    echo "(exit status $status)"
  }
  if [ $# -gt 0 ]; then run "$@"; else run n:; run c:; run; fi' demo "$@"
