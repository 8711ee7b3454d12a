#!/usr/bin/env bash
# Runs every libFuzzer target (tests/fuzz/fuzz_*.cpp) for a given number of executions or
# a given time, starting from its corpus in tests/fuzz/corpus/<target>/, and prints per
# target the executions, the time, the coverage (libFuzzer's cov: edges and ft: features),
# the corpus size and the findings. The fuzzers work on a scratch copy of each corpus in
# the build folder, so a run changes nothing in the repository unless --update-corpus asks
# for it: then each repository corpus is replaced by the minimal set (libFuzzer's merge)
# that covers all it had plus everything the run found.
#   scripts/fuzz-long.sh [--runs N] [--seconds N] [--update-corpus] [TARGET...]
#     --runs N       executions per target (default 10000000, unless --seconds is given)
#     --seconds N    time per target; with --runs, whichever ends first
# A finding (crash, leak, time-out, failed check) is kept in build-fuzz/findings/<target>/
# and makes the script exit 1 after all targets have run. Needs clang (install-deps fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  echo "usage: $0 [--runs N] [--seconds N] [--update-corpus] [TARGET...]" >&2
  exit 2
}
limit=()
update_corpus=0
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; limit+=(-runs="$2"); shift 2 ;;
    --seconds) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; limit+=(-max_total_time="$2"); shift 2 ;;
    --update-corpus) update_corpus=1; shift ;;
    -*) usage ;;
    *) targets+=("$1"); shift ;;
  esac
done
[ ${#limit[@]} -gt 0 ] || limit=(-runs=10000000)
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

build="build-fuzz"
# Four times the longest line the program takes from the analyser (256 bytes): room for a
# stream of several lines and for numbers longer than any double, while every execution
# stays short (at 4096 bytes a data-line execution took ten times as long).
max_len=1024

cmake --preset fuzz > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]}"

# The value of a field such as "cov: 123" in libFuzzer's last status line.
status_field() { # log, field
  grep -E '^#[0-9]+' "$1" | tail -n 1 | sed -n "s/.* $2: \([0-9]*\).*/\1/p"
}
stat_value() { # log, stat name
  sed -n "s/^stat::$2: *//p" "$1" | tail -n 1
}

findings=0
for target in "${targets[@]}"; do
  program=$build/tests/fuzz/$target
  [ -x "$program" ] || { echo "no fuzz target $target" >&2; exit 2; }
  corpus=$root/tests/fuzz/corpus/$target
  scratch=$build/corpus/$target
  found=$build/findings/$target
  log=$build/$target.log
  rm -rf "$scratch" "$found"
  mkdir -p "$scratch" "$found"
  [ -d "$corpus" ] && cp "$corpus"/* "$scratch"/ 2> /dev/null || true
  seeds=$(find "$scratch" -type f | wc -l)
  echo "-- $target: ${limit[*]}, from $seeds corpus inputs"
  status=0
  "$program" "${limit[@]}" -max_len=$max_len -print_final_stats=1 -artifact_prefix="$found/" \
    "$scratch" > "$log" 2>&1 || status=$?
  runs=$(stat_value "$log" number_of_executed_units)
  seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  echo "   runs ${runs:-?} in ${seconds:-?} s ($(stat_value "$log" average_exec_per_sec)/s)," \
    "cov $(status_field "$log" cov), ft $(status_field "$log" ft)," \
    "corpus $seeds -> $(find "$scratch" -type f | wc -l) inputs" \
    "($(stat_value "$log" new_units_added) new), peak $(stat_value "$log" peak_rss_mb) MB"
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$found")" ]; then
    findings=1
    echo "   FINDING (exit $status): $(ls "$found")" >&2
    grep -A 30 -E '^==[0-9]+==|runtime error|deadly signal' "$log" | head -n 60 >&2 || tail -n 40 "$log" >&2
    continue
  fi
  echo "   findings: none"
  if [ "$update_corpus" -eq 1 ]; then
    rm -rf "$corpus.new"
    mkdir -p "$corpus.new"
    "$program" -merge=1 -max_len=$max_len "$corpus.new" "$scratch" > "$build/$target.merge.log" 2>&1 ||
      { tail -n 20 "$build/$target.merge.log" >&2; exit 1; }
    rm -rf "$corpus"
    mv "$corpus.new" "$corpus"
    echo "   repository corpus: $(find "$corpus" -type f | wc -l) inputs," \
      "$(cat "$corpus"/* | wc -c) bytes (tests/fuzz/corpus/$target)"
  fi
done
exit "$findings"
