#!/usr/bin/env bash
# Runs tests again and again and counts how often each fails, to find the ones that fail
# now and then; the builds they need must be there (scripts/test.sh makes them).
#   scripts/repeat-tests.sh [-n RUNS] TARGET...
# TARGET is one of
#   NAME            a Wine script of the win32 stage (tests/wine/NAME.sh, e.g. installer_e2e),
#                   with the arguments the stage gives it (scripts/lib/win32-scripts.sh)
#   wine            every Wine script of the win32 stage, one after the other
#   stage:STAGE     a stage of scripts/test.sh (plain, win32, ...)
#   ctest:LABEL     the CTest tests of the label in the plain build (ctest:LABEL@PRESET:
#                   another preset's), each test counted on its own
# Each target runs RUNS times (10 unless -n says otherwise), one run after the other. The
# output of every run is kept in out/repeat/<time>/ (a failed one's evidence folder is named
# there too); at the end a table gives, per script or test, its runs, its failures, which
# runs failed and the time a run took (least, most). Exits with 1 when anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib/win32-scripts.sh
source scripts/lib/win32-scripts.sh

runs=10
usage() {
  echo "usage: $0 [-n RUNS] TARGET...   (TARGET: a Wine script's name, wine, stage:STAGE, ctest:LABEL[@PRESET])" >&2
  exit 2
}
while getopts n: option; do
  case $option in
    n) runs=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -eq 0 ] || [[ ! $runs =~ ^[1-9][0-9]*$ ]]; then usage; fi

targets=()
for target in "$@"; do
  case $target in
    wine) targets+=("${win32_scripts[@]}") ;;
    stage:* | ctest:*) targets+=("$target") ;;
    *)
      [ -n "${win32_script_args[$target]:-}" ] || usage
      targets+=("$target")
      ;;
  esac
done

logs=out/repeat/$(date -u +%Y%m%dT%H%M%SZ)
mkdir -p "$logs"
# Per script or test: runs, failures, the failed runs' numbers, least and most seconds.
declare -A done_runs failures failed_runs least most
names=()
count() { # NAME PASSED SECONDS RUN
  [ -n "${done_runs[$1]:-}" ] || { names+=("$1"); done_runs[$1]=0 failures[$1]=0 failed_runs[$1]=; }
  done_runs[$1]=$((done_runs[$1] + 1))
  if [ "$2" != yes ]; then
    failures[$1]=$((failures[$1] + 1))
    failed_runs[$1]+="${failed_runs[$1]:+,}$4"
  fi
  if [ -z "${least[$1]:-}" ] || awk -v a="$3" -v b="${least[$1]}" 'BEGIN { exit !(a < b) }'; then least[$1]=$3; fi
  if [ -z "${most[$1]:-}" ] || awk -v a="$3" -v b="${most[$1]}" 'BEGIN { exit !(a > b) }'; then most[$1]=$3; fi
}

# run_once TARGET RUN LOG: the target once, its output in LOG; counts it.
run_once() {
  local target=$1 run=$2 log=$3 start status=0 seconds label preset
  start=$(date +%s.%N)
  case $target in
    stage:*) bash scripts/test.sh "${target#stage:}" > "$log" 2>&1 || status=$? ;;
    ctest:*)
      label=${target#ctest:}
      preset=plain
      [[ $label != *@* ]] || { preset=${label#*@}; label=${label%@*}; }
      ctest --preset "$preset" -L "^$label\$" --output-on-failure > "$log" 2>&1 || status=$?
      # One line a test: "n/m Test #k: NAME .....   Passed   1.23 sec".
      local name result
      while read -r name result seconds; do
        count "$name" "$([ "$result" = Passed ] && echo yes || echo no)" "$seconds" "$run"
      done < <(sed -n -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.*[ *]*([A-Za-z]+)[^0-9]* ([0-9.]+) sec$/\1 \2 \3/p' "$log")
      grep -q 'Test *#' "$log" || count "$target" no 0 "$run"
      ;;
    *) run_win32_script "$target" > "$log" 2>&1 || status=$? ;;
  esac
  seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
  [[ $target == ctest:* ]] || count "$target" "$([ "$status" -eq 0 ] && echo yes || echo no)" "$seconds" "$run"
  if [ "$status" -eq 0 ]; then
    echo "$target run $run: passed (${seconds} s)"
  else
    echo "$target run $run: FAILED (${seconds} s), output $log" >&2
    grep -a -E '^(FAIL|evidence)' "$log" | sed 's/^/    /' >&2 || true
  fi
}

for target in "${targets[@]}"; do
  for ((run = 1; run <= runs; run++)); do
    run_once "$target" "$run" "$logs/${target//[:\/@]/-}-$run.log"
  done
done

any_failed=0 width=14
for name in "${names[@]}"; do [ "${#name}" -le "$width" ] || width=${#name}; done
{
  printf '%-*s %5s %9s  %-16s %s\n' "$width" "script or test" runs failures "failed runs" \
    "seconds (least-most)"
  for name in "${names[@]}"; do
    printf '%-*s %5d %9d  %-16s %s-%s\n' "$width" "$name" "${done_runs[$name]}" "${failures[$name]}" \
      "${failed_runs[$name]:--}" "${least[$name]}" "${most[$name]}"
  done
} > "$logs/table.txt"
cat "$logs/table.txt"
for name in "${names[@]}"; do [ "${failures[$name]}" -eq 0 ] || any_failed=1; done
echo "output of every run: $logs"
exit "$any_failed"
