#!/bin/sh
# run.sh FUZZER SECONDS LLVM_PROFDATA LLVM_COV: fuzzes for SECONDS from the seeds in corpus/
# beside it (left untouched) and prints the figures, with the line coverage of src/ (less the
# test support in src/testing). A failing input is kept as crash-* in the working directory.
set -eu
fuzzer=$1 seconds=$2 profdata=$3 cov=$4
seeds=$(dirname "$0")/corpus src=$(realpath "$(dirname "$0")/../src")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
LLVM_PROFILE_FILE="$work/fuzz.profraw" "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -use_value_profile=1 -artifact_prefix="$PWD/" "$work/corpus" "$seeds" >"$work/log" 2>&1 || {
  status=$?
  sed -n '/ERROR\|^violated/,$p' "$work/log" | head -n 25
  grep '^SUMMARY' "$work/log" || true
  echo "fuzzer failed (status $status); the input is in $PWD"
  exit 1
}
stat() { sed -n "s/^stat::$1: *//p" "$work/log"; }
echo "$(stat number_of_executed_units) executions in $seconds s ($(stat average_exec_per_sec)/s)," \
  "$(ls "$seeds" | wc -l) seeds, peak RSS $(stat peak_rss_mb) MB"
grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | sed 's/^#[0-9]*[[:space:]]*DONE */libFuzzer: /'
"$profdata" merge -sparse -o "$work/fuzz.profdata" "$work/fuzz.profraw"
"$cov" report -show-region-summary=false -ignore-filename-regex="/testing/" "$fuzzer" \
  -instr-profile="$work/fuzz.profdata" "$src"
