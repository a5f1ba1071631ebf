#!/bin/sh
# Loading mpr.dll costs about as much as starting a process: only a lookup may load it.
# usage: mpr_loading.sh MAPCUE_EXE   (in the test prefix)
log=$(mktemp)
loads() {
  WINEDEBUG=+loaddll "$WINELOADER" "$1" "$2" >/dev/null 2>"$log"
  grep -ci 'mpr\.dll' "$log"
}
help=$(loads "$1" /?)
lookup=$(loads "$1" c:)
rm -f "$log"
echo "mpr.dll loaded: help path $help time(s), lookup path $lookup time(s)"
[ "$help" -eq 0 ] && [ "$lookup" -gt 0 ]
