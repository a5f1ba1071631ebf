#!/bin/sh
# Times every file this host's Wine runs (mapcue.exe where it runs 32-bit programs, and
# mapcue64.exe), each against an empty process and a bare lookup built like it and Wine's
# `net use n:`, under one warm wineserver in a throwaway prefix with real network drives. Not
# part of the tests: it takes minutes and its figures depend on the machine. Arguments go to
# bench/bench.py (e.g. --rounds 50); results land in build/bench/.
cd "$(dirname "$0")/.."
exec scripts/wine-prefix.sh run build/bench-prefix \
  /usr/bin/python3 bench/bench.py --out build/bench "$@"
