#!/usr/bin/env bash
# What fumilink.exe costs under Wine against the simulator on a pty-mapped COM port, as
# figures (name = value unit), like the other benchmarks:
#   stream_cpu_program     processor time of the program while it streams, % of one core
#   stream_cpu_wineserver  the same for this run's own wineserver
#   stream_cpu_watcher     the serial watcher thread ("comm-watcher") alone
#   takeover_exchanges     from the take-over's first command to its last (simulator log)
#   exit_after_last_command  from the take-over's last command to the end of the process
# Each run starts the program with COM5 remembered (no search), lets it stream, measures
# SECONDS of streaming from /proc/<pid>/stat, clicks "Daten übernehmen" and waits for the
# end. The simulator's log gives the commands' times on its monotonic clock (its SENT lines
# carry that clock), the end of the process is taken on the same clock.
# With LINUX_FUMILINK the Linux program is measured the same way for comparison.
#
# There is no window manager on the virtual X server, and Wine's X11 driver waits up to 2 s
# for one to confirm that a window it hides is withdrawn ("fixme:event:
# wait_for_withdrawn_state ... wait timed out"): the program's exit waits that long for its
# main window. FUMILINK_WINE_MANAGED=N has Wine manage the windows itself instead (the
# registry's X11 Driver "Managed" = "N"), which shows the exit without that wait.
#
# Usage: wine_program_costs.sh FUMILINK_EXE FUMILINK_SIM [SECONDS] [RUNS] [LINUX_FUMILINK]
#   (defaults: 20 s, 3 runs). Needs wine, Xvfb, xdotool, python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../scripts/lib/wine-session.sh
source "$here/../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
use_simulator "${2:?fumilink-sim of the Linux build}"
seconds=${3:-20}
runs=${4:-3}
linux_program=${5:+$(realpath "$5")}

start_wine_session costs
use_own_runtime_folder

monotonic() { python3 -c 'import time; print(f"{time.monotonic():.6f}")'; }
# Processor time of a process so far, in clock ticks (user + system, all threads).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Processor time of the process's thread named "comm-watcher" so far, in nanoseconds.
watcher_ns() {
  local task
  for task in /proc/"$1"/task/*; do
    if [ "$(cat "$task/comm" 2> /dev/null)" = comm-watcher ]; then
      cut -d' ' -f1 "$task/schedstat"
      return
    fi
  done
  echo 0
}
# Waits for the end of process PID and prints the monotonic clock at that moment.
end_of() {
  python3 - "$1" << 'EOF'
import os, select, sys, time
fd = os.pidfd_open(int(sys.argv[1]))
select.select([fd], [], [], 300)
print(f"{time.monotonic():.6f}")
EOF
}
# This prefix's wineserver: the one working in the folder named after the prefix's device
# and inode (server-<dev>-<inode>, in a temporary folder of Wine's).
wineserver_pid() {
  local dir pid
  dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for pid in $(pgrep -x wineserver64; pgrep -x wineserver); do
    case $(readlink "/proc/$pid/cwd" 2> /dev/null) in
      */"$dir") echo "$pid"; return ;;
    esac
  done
}
percent() { # ticks seconds
  awk -v t="$1" -v s="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", 100 * t / hz / s }'
}

ports=$work/ports
make_wine_prefix "COM5=$ports/COM5"
managed=${FUMILINK_WINE_MANAGED:-Y}
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f > /dev/null 2>&1
server=$(wineserver_pid)
[ -n "$server" ] || x_fail "no wineserver for $WINEPREFIX"
ticks=$(getconf CLK_TCK)

# measure NAME COMMAND...: one run; COMMAND starts the program in folder $run.
measure() {
  local name=$1
  shift
  local log=$work/sim.log pid window before_p before_s before_w after_p after_s after_w click ended
  rm -f "$log"
  start_sim "$ports" "$log" --port 5
  start_program "$run" "$work/program.stderr" "$@"
  pid=$program_pid
  window=$(main_window)
  wait_for 60 "the stream did not start" grep -q 'STREAM start' "$log"
  sleep 3
  before_p=$(cpu_ticks "$pid")
  before_s=$(cpu_ticks "$server")
  before_w=$(watcher_ns "$pid")
  sleep "$seconds"
  after_p=$(cpu_ticks "$pid")
  after_s=$(cpu_ticks "$server")
  after_w=$(watcher_ns "$pid")
  end_of "$pid" > "$work/ended" &
  local watcher=$!
  sleep 0.5
  click=$(monotonic)
  if [ "$name" = wine ] && [ "$managed" = N ]; then
    # The X window holds the frame Wine draws: the client area starts inside it.
    local WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
    local border=$(((WIDTH - 515) / 2))
    local x y
    read -r x y <<< "${FUMILINK_BUTTON_AT[BtExit]}"
    xdotool mousemove --window "$window" $((x + border)) $((y + HEIGHT - 286 - border)) click 1
  else
    click_button "$window" BtExit
  fi
  wait "$watcher"
  ended=$(cat "$work/ended")
  wait "$pid" || x_fail "$name ended with $?"
  stop_sim
  # The log's times count from the simulator's start; its last SENT line before the click
  # gives the offset to the monotonic clock.
  awk -v click="$click" -v ended="$ended" -v name="$name" '
    / SENT / { split($NF, s, "="); offset = s[2] - $1 }
    / RX / {
      rx = $1 + offset
      if (rx > click && first == "") first = rx
      if (rx > click) last = rx
    }
    END {
      printf "%s.takeover_exchanges = %.3f s\n", name, last - first
      printf "%s.exit_after_last_command = %.3f s\n", name, ended - last
    }' "$log"
  echo "$name.stream_cpu_program = $(percent $((after_p - before_p)) "$seconds") %"
  echo "$name.stream_cpu_watcher = $(awk -v n=$((after_w - before_w)) -v s="$seconds" \
    'BEGIN { printf "%.3f", 100 * n / 1e9 / s }') %"
  [ "$name" = linux ] ||
    echo "$name.stream_cpu_wineserver = $(percent $((after_s - before_s)) "$seconds") %"
}

run=$work/run
install_program "$run"
transfer=$(winepath -w "$run/data.csv" 2> /dev/null)
for ((i = 1; i <= runs; i++)); do
  printf '[Main]\r\ncomport=5\r\n' > "$run/fumilink.ini"
  measure wine env FUMILINK_MESSAGE_BOXES=stderr wine fumilink.exe "COSTS" /ART=14 "$transfer"
done
if [ -n "$linux_program" ]; then
  cp "$linux_program" "$run/fumilink"
  for ((i = 1; i <= runs; i++)); do
    printf '[Main]\ncomport=5\n' > "$run/fumilink.ini"
    measure linux env FUMILINK_PORT_DIR="$ports" FUMILINK_MESSAGE_BOXES=stderr \
      QT_QPA_PLATFORM=xcb ./fumilink "COSTS" /ART=14 "$run/data.csv"
  done
fi
echo "seconds_measured_per_run = $seconds s ($ticks ticks/s)"
