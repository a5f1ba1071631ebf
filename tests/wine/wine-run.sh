#!/bin/sh
# Runs a Windows program of the test suite under Wine, in the environment ctest set from
# scripts/wine.env. Wine's helper processes keep inherited descriptors open for seconds after
# the program ends, so neither stream goes to ctest's pipe directly: both go to files, and
# the output is replayed afterwards.
out=$(mktemp)
"$WINELOADER" "$@" >"$out" 2>>"${WINEPREFIX:?}/wine-stderr.log"
status=$?
cat "$out"
rm -f "$out"
exit $status
