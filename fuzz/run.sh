#!/bin/sh
# run.sh FUZZER SEEDS SECONDS LLVM_PROFDATA LLVM_COV SRC: fuzzes for SECONDS from the seeds
# (left untouched) and prints the figures, with the line coverage of the sources under SRC
# (less the test support in SRC/testing).
# A failing input is kept as crash-* in the working directory.
set -eu
fuzzer=$1 seeds=$2 seconds=$3 profdata=$4 cov=$5 src=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
status=0
LLVM_PROFILE_FILE="$work/fuzz.profraw" "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -use_value_profile=1 -artifact_prefix="$PWD/" "$work/corpus" "$seeds" >"$work/log" 2>&1 ||
  status=$?
if [ "$status" -ne 0 ]; then
  sed -n '/ERROR\|^violated/,$p' "$work/log" | head -n 25
  grep '^SUMMARY' "$work/log" || true
  echo "fuzzer failed (status $status); the input is in $PWD"
  exit 1
fi
stat() { sed -n "s/^stat::$1: *//p" "$work/log"; }
echo "$(stat number_of_executed_units) executions in $seconds s ($(stat average_exec_per_sec)/s)," \
  "$(ls "$seeds" | wc -l) seeds, peak RSS $(stat peak_rss_mb) MB"
grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | sed 's/^#[0-9]*[[:space:]]*DONE */libFuzzer: /'
"$profdata" merge -sparse -o "$work/fuzz.profdata" "$work/fuzz.profraw"
"$cov" report -show-region-summary=false -ignore-filename-regex="/testing/" "$fuzzer" \
  -instr-profile="$work/fuzz.profdata" "$src"
