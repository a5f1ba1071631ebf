#!/bin/sh
# Builds every file and runs the first that this host's Wine runs (mapcue.exe where it runs
# 32-bit programs, else mapcue64.exe) in a demo prefix where n: is mapped to
# \\fileserver\public\docs, saying why the others do not run. With arguments, runs it with them.
# Each answer is held to the prefix's table: where Wine's differs, it says so and exits 1, so
# that no wrong answer passes for mapcue's. Given MAPCUE_EXE, it runs in the prefix at hand.
cd "$(dirname "$0")/.."
[ -n "${MAPCUE_EXE:-}" ] || exec scripts/wine-prefix.sh run build/demo-prefix "$0" "$@"
echo "running $(basename "$MAPCUE_EXE") under $WINELOADER"
wrong=0 out=$WINEPREFIX/demo.out
run() {
  echo "> mapcue $*"
  status=0
  "$WINELOADER" "$MAPCUE_EXE" "$@" >"$out" 2>>"$WINEPREFIX/wine-stderr.log" || status=$?
  cat "$out"
  echo "(exit status $status)"
  # The letter's row: 0 its path, 1 or none ERROR_NOT_CONNECTED; no letter, the help screen.
  letter=$(printf %s "$*" | sed 's/^ *//' | cut -c 1 | tr A-Z a-z)
  row=$(LC_ALL=C awk -F '\t' -v l="$letter" '$1 == l { print $2 "\t" $3 }' "$WINEPREFIX/drives.tsv")
  case $letter:$row in
  [a-z]:0*) want=${row#0?} code=0 ;;
  [a-z]: | [a-z]:1*) want=ERROR_NOT_CONNECTED code=1 ;;
  *) return ;;
  esac
  printf '%s\r\n' "$want" | cmp -s - "$out" && [ "$status" = "$code" ] && return
  printf 'NOT AS SET UP: %s: should give [%s], exit status %s, here: %s\n' "$letter" "$want" "$code" \
    "the answer above is not mapcue's to trust (Wine's drives are not ready, or mapcue is wrong)"
  wrong=1
}
if [ $# -gt 0 ]; then run "$@"; else run n:; run c:; run; fi
exit $wrong
