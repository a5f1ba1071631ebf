#!/bin/sh
# Runs a Windows program of the test suite under Wine. Wine's helper processes keep
# inherited descriptors open for seconds after the program ends, so neither stream goes to
# ctest's pipe directly: both go to files, and the output is replayed afterwards.
# Wine takes its code pages from the locale; C.UTF-8 is always there and gives ANSI 1252.
export LC_ALL=C.UTF-8
out=$(mktemp)
wine "$@" >"$out" 2>>"${WINEPREFIX:?}/wine-stderr.log"
status=$?
cat "$out"
rm -f "$out"
exit $status
