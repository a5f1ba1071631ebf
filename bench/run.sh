#!/bin/sh
# Times every file this host's Wine runs against its floor programs and Wine's `net use n:`
# (bench/bench.py says how), in a throwaway prefix with real network drives. Not part of the
# tests: it takes minutes and its figures depend on the machine. Arguments go to bench.py (e.g.
# --rounds 50); results land in build/bench/.
cd "$(dirname "$0")/.."
exec scripts/wine-prefix.sh run build/bench-prefix \
  /usr/bin/python3 bench/bench.py --out build/bench "$@"
