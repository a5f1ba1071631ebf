#!/bin/sh
# Times mapcue.exe, or mapcue64.exe where this host's Wine runs 64-bit programs only, against
# an empty process, a bare lookup and Wine's `net use n:`, under one warm wineserver in a
# throwaway prefix with real network drives. Not part of the tests: it takes minutes and its
# figures depend on the machine. Arguments go to bench/bench.py (e.g. --rounds 50); results
# land in build/bench/.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
echo "preparing a Wine prefix with network drives..."
exec scripts/wine-prefix.sh run build/bench-prefix \
  /usr/bin/python3 bench/bench.py --out build/bench "$@"
