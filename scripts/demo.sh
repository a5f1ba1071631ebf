#!/bin/sh
# Builds every file and runs the first that this host's Wine runs (mapcue.exe where it runs
# 32-bit programs, else mapcue64.exe) in a demo prefix where n: is mapped to
# \\fileserver\public\docs, saying why the others do not run. With arguments, runs it with them.
cd "$(dirname "$0")/.."
exec scripts/wine-prefix.sh run build/demo-prefix sh -c '
  echo "running $(basename "$MAPCUE_EXE") under $WINELOADER"
  run() {
    echo "> mapcue $*"
    status=0
    "$WINELOADER" "$MAPCUE_EXE" "$@" 2>>"$WINEPREFIX/wine-stderr.log" || status=$?
    echo "(exit status $status)"
  }
  if [ $# -gt 0 ]; then run "$@"; else run n:; run c:; run; fi' demo "$@"
