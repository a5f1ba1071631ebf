#!/bin/sh
# Builds both executables and runs one under Wine in a demo prefix where n: is mapped to
# \\fileserver\public\docs: mapcue.exe where this host's Wine runs 32-bit programs, else
# mapcue64.exe. With arguments, runs it with them instead.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
echo "preparing a Wine prefix with a network drive (first time takes a while)..."
exec scripts/wine-prefix.sh run build/demo-prefix sh -c '
  echo "running $(basename "$MAPCUE_EXE"): $MAPCUE_WHY"
  run() {
    echo "> mapcue $*"
    status=0
    "$WINELOADER" "$MAPCUE_EXE" "$@" 2>>"$WINEPREFIX/wine-stderr.log" || status=$?
    echo "(exit status $status)"
  }
  if [ $# -gt 0 ]; then run "$@"; else run n:; run c:; run; fi' demo "$@"
