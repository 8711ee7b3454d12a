#!/usr/bin/env bash
# How often fumilink.exe under Wine loses a close (WM_CLOSE) that comes as the take-over
# gives up waiting, as figures (name = value unit), like the other benchmarks:
#   close_race_runs   runs
#   close_race_lost   runs in which the program was still there 15 s after the close (the
#                     box "Keine Antwort vom Messgerät" up, the close gone)
#   close_race_box    runs in which that box came up at all
# Qt hands the window system's close to the window one pass of the event loop after it
# came; the box blocks the window, and Qt drops a close of a blocked window. So a close
# that comes in the pass that ends the wait is lost unless the program lets it through
# before it shows the box. Each run: COM5 remembered, live values, "Daten übernehmen"
# against an analyser that falls silent as the take-over begins (its first command waits
# the whole second; nothing else runs the event loop before the box); post_close.exe posts
# WM_CLOSE DELAY ms after that command reached the analyser, holding the program's threads
# HOLD ms from then (a program busy that long), so that the close and the tick that ends
# the wait reach its event loop together in some of the runs. The wait ends 900..1000 ms
# after the command was sent (ten 100 ms ticks, the first one sooner); DELAY steps through
# 750..890 ms, and the threads are held from about 35 ms after it.
#
# Usage: wine_close_race.sh FUMILINK_EXE FUMILINK_SIM [RUNS] [HOLD_MS]
#   (defaults: 15 runs, 150 ms). Needs wine, Xvfb, xdotool.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../scripts/lib/wine-session.sh
source "$here/../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
use_simulator "${2:?fumilink-sim of the Linux build}"
runs=${3:-15}
hold=${4:-150}

start_wine_session close-race
ports=$work/ports
make_wine_prefix "COM5=$ports/COM5"
keep_listed_ports COM5
post_close=$(windows_tool post_close -municode) || exit 1
run=$work/run
install_program "$run"

lost=0
boxes=0
for ((i = 0; i < runs; i++)); do
  delay=$((750 + (i * 10) % 150))
  log=$work/sim-$i.log
  printf '[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n' > "$run/fumilink.ini"
  start_sim "$ports" "$log" --port 5 --cycle-ms 300 --fault 'silent=SERVICE002#4'
  start_program "$run" "$work/run-$i.stderr" "${windows_start[@]}" fumilink.exe
  window=$(main_window)
  wait_for_live_values "$log"
  wine "$post_close" fumilink.exe "$(winepath -w "$log" 2> /dev/null)" 'COM5 SILENT from' \
    "$delay" "$hold" > "$work/post-$i.out" 2>&1 &
  closer=$!
  wait_for 30 "post_close.exe did not start" file_has "$work/post-$i.out" 'waiting for'
  click_button "$window" BtExit
  wait "$closer" || x_fail "run $i: the close was not posted: $(cat "$work/post-$i.out")"
  box=no
  if ! ended_within 15 "$program_pid"; then
    lost=$((lost + 1))
    box=$(has_window '^Informationen$' && echo yes || echo no)
    # OK on the box, then "Abbrechen": the next run needs the program gone. The box takes
    # a while to go (Wine waits for its window to be withdrawn), and the window behind it
    # takes no click until then: "Abbrechen" is pressed until the program ends.
    if [ "$box" = yes ]; then
      xdotool mousemove --window "$(window_of '^Informationen$')" 20 20 click 1
      xdotool key --window "$(window_of '^Informationen$')" Return 2> /dev/null || true
    fi
    for ((press = 0; press < 10; press++)); do
      click_button "$window" BTBreak
      ! ended_within 3 "$program_pid" || break
    done
    has_ended "$program_pid" || x_fail "run $i: the program did not end after 'Abbrechen'"
    wait "$program_pid" || true
  else
    wait "$program_pid" || true
  fi
  [ "$box" = no ] || boxes=$((boxes + 1))
  stop_sim
  echo "run $i: close $delay ms after the command, threads held $hold ms: $(tr -d '\r' < "$work/post-$i.out" | sed -n 2p); box up: $box" >&2
done
echo "close_race_runs = $runs"
echo "close_race_lost = $lost"
echo "close_race_box = $boxes"
