#!/usr/bin/env bash
# How long fumilink.exe takes under Wine from its start to its main window, as figures
# (name = value unit) like the other benchmarks: for each program given, RUNS starts in
# turn (the programs alternate, so that a busy moment of the machine falls on all of them
# alike) on one prefix without serial ports, each ended with "Abbrechen". One start before
# them is not counted: Wine's first start in a new prefix sets up what later ones reuse.
# The window counts from when xdotool finds it visible (looked for every 10 ms).
#   start_to_window_<i>_median, _min, _max   milliseconds, i = the program's place
#   start_cpu_<i>_median, _min, _max         processor time of fumilink.exe's process until
#                                            then, milliseconds (10 ms steps): less moved by
#                                            the rest of the machine than the wall time
#   exe_size_<i>                             bytes of the program as given
#   load_average_before, _after              the machine's 1-minute load average
#
# Usage: wine_start_time.sh RUNS FUMILINK_EXE...
#   The window title comes from the fumilink-version.sh beside the first program; for a
#   program unpacked from its zip, FUMILINK_VERSION_FILE names the build's. Needs wine,
#   Xvfb, xdotool, python3. Used to weigh what Qt's UI Automation support costs: the same
#   sources built against a Qt without and with accessibility.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../scripts/lib/wine-session.sh
source "$here/../scripts/lib/wine-session.sh"
runs=${1:?runs}
shift
[ $# -gt 0 ] || fail "usage: $0 RUNS FUMILINK_EXE..."
programs=()
for exe in "$@"; do programs+=("$(realpath "$exe")"); done
use_windows_program "${programs[0]}"

start_wine_session start-time
use_own_runtime_folder
make_wine_prefix
keep_listed_ports

monotonic_ms() { python3 -c 'import time; print(int(time.monotonic() * 1000))'; }
load_average() { cut -d' ' -f1 /proc/loadavg; }
# The Unix process that runs fumilink.exe in this session's prefix (start_as_windows.exe
# runs in a process of its own), or nothing.
program_process() {
  local pid
  for pid in $(pgrep -x fumilink.exe); do
    if tr '\0' '\n' 2> /dev/null < "/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return
    fi
  done
}
# Processor time of a process so far (user + system, all threads), milliseconds.
cpu_ms() { awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/stat"; }

# start_once FOLDER: starts the program copied there and waits for its window; leaves the
# wall time in elapsed_ms and the processor time in cpu_used_ms; ends it with "Abbrechen".
start_once() {
  local start pid window
  start=$(monotonic_ms)
  start_program "$1" "$1/stderr" env FUMILINK_MESSAGE_BOXES=stderr "${windows_start[@]}" \
    fumilink.exe
  until has_window "$FUMILINK_TITLE_PATTERN"; do sleep 0.01; done
  elapsed_ms=$(($(monotonic_ms) - start))
  pid=$(program_process)
  [ -n "$pid" ] || fail "no process of fumilink.exe in $WINEPREFIX"
  cpu_used_ms=$(cpu_ms "$pid")
  window=$(window_of "$FUMILINK_TITLE_PATTERN")
  end_by_button "$window" BTBreak "$program_pid" "$(basename "$1")"
}

for i in "${!programs[@]}"; do
  mkdir -p "$work/run$i"
  cp "${programs[$i]}" "$work/run$i/fumilink.exe"
done
start_once "$work/run0"

echo "load_average_before = $(load_average)"
declare -A times=() cpu=()
for ((run = 1; run <= runs; run++)); do
  for i in "${!programs[@]}"; do
    start_once "$work/run$i"
    times[$i]+=" $elapsed_ms"
    cpu[$i]+=" $cpu_used_ms"
  done
done
echo "load_average_after = $(load_average)"

summary() { # NAME VALUE...
  python3 -c 'import statistics, sys
name, values = sys.argv[1], [int(v) for v in sys.argv[2:]]
print(f"{name}_median = {statistics.median(values):.0f} ms")
print(f"{name}_min = {min(values)} ms")
print(f"{name}_max = {max(values)} ms")' "$@"
}
for i in "${!programs[@]}"; do
  echo "exe_size_$i = $(stat -c %s "${programs[$i]}") bytes (${programs[$i]})"
  # shellcheck disable=SC2086  # lists of numbers
  summary "start_to_window_$i" ${times[$i]}
  # shellcheck disable=SC2086
  summary "start_cpu_$i" ${cpu[$i]}
done
