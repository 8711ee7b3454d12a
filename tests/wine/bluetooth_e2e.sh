#!/usr/bin/env bash
# fumilink.exe under Wine against Bluetooth links of fumilink-sim, on a virtual X server.
# COM4 and COM5 are \Device\BthModem values in SERIALCOMM, as Windows lists outgoing
# Bluetooth serial ports (the test renames the values Wine's device manager made):
#   1. COM4 is a paired device that is off: its link fails 0.8 s after each open, before
#      its first command's second is over. COM5 is the analyser behind a link that comes
#      up 2.5 s after each open; Windows makes that connection inside CreateFile, so the
#      program built with a CreateFile that can be held back (SLOW_OPEN_EXE, below) has
#      each open of COM5 return only then. No settings file: the search goes on from COM4
#      as soon as its link fails, finds the analyser, the stream runs, and "Daten
#      übernehmen" writes the transfer file. (A link that comes
#      up seconds after an open that returned at once, with an output queue that never
#      held the command, is what Windows does not do: the program gives such a port the
#      usual second, as an incoming Bluetooth port that never answers; the demo's links,
#      tests/wine/demo_e2e.sh, show the queue that a pty cannot.)
#   2. The remembered COM5 behind a link that takes a minute: "Abbrechen" during the wait
#      for it ends the program at once.
#   3. An open that never returns. Windows makes a Bluetooth port's connection inside
#      CreateFile; Wine's CreateFile of a pty returns at once, so the program built with a
#      CreateFile that never returns for COM5 (SLOW_OPEN=COM5) stands in. The window must
#      not freeze: "Abbrechen" ends the program, and so does closing the window (WM_CLOSE, which
#      taskkill without /F sends), without waiting for the open.
# "At once" is checked against the 10 s a link may take: the program must end within 6 s
# of the click (Wine itself takes about 2 s to end a program); the figures are printed.
#
# Usage: bluetooth_e2e.sh FUMILINK_EXE SLOW_OPEN_EXE FUMILINK_SIM [OUT]
#   SLOW_OPEN_EXE is the program built with that CreateFile (tests/serial/slow_open/
#   fumilink.exe of the Windows build): SLOW_OPEN=COM<n>[:MS] in its environment makes each
#   open of COM<n> return MS ms after the device was opened, or never. FUMILINK_SIM comes
#   from the Linux build. Needs wine, Xvfb, xdotool.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
slow_open_exe=$(realpath "${2:?fumilink.exe built with a CreateFile that can be held back}")
use_simulator "${3:?fumilink-sim of the Linux build}"
out=$(realpath -m "${4:-out}")
mkdir -p "$out"

start_wine_session bt
# A failure shows the end of the step's simulator log: it tells what the program did.
log=
eval "plain_$(declare -f x_fail)"
x_fail() {
  if [ -n "$log" ] && [ -f "$log" ]; then
    echo "-- simulator log $(basename "$log"), last lines:" >&2
    tail -n 25 "$log" >&2
    cp "$log" "$out/" 2> /dev/null || true
  fi
  plain_x_fail "$@"
}
# The simulator's time stamp of the first log line holding TEXT: first_stamp LOG TEXT
first_stamp() { grep -a -F -- "$2" "$1" | head -n 1 | cut -d ' ' -f 1; }
# count_of LOG TEXT: lines of the log holding TEXT; at_least N COMMAND...: COMMAND prints >= N
count_of() { grep -a -c -F -- "$2" "$1" || true; }
at_least() {
  local n=$1
  shift
  [ "$("$@")" -ge "$n" ]
}
now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

step "Wine prefix: COM4 and COM5 mapped to the simulator's ports, listed as Bluetooth ports"
ports=$work/ports
make_wine_prefix "COM4=$ports/COM4" "COM5=$ports/COM5"
keep_listed_ports
# Registry order is the search's order: COM4 first.
list_port '\Device\BthModem0' COM4
list_port '\Device\BthModem1' COM5
listed=$(listed_ports | paste -sd ' ')
[ "$listed" = '\Device\BthModem0=COM4 \Device\BthModem1=COM5' ] || fail "port list is '$listed'"

run=$work/run
install_program "$run"
# start_fumilink ERRORS [VARIABLE=VALUE ...]: the program with that environment, once its
# main window (window) is there.
start_fumilink() {
  local errors=$1
  shift
  start_program "$run" "$errors" env FUMILINK_MESSAGE_BOXES=stderr "$@" \
    "${windows_start[@]}" fumilink.exe "DEMO Heizung" /ART=14 \
    "$(winepath -w "$run/data.csv" 2> /dev/null)"
  window=$(main_window)
}
# Ends the program by CLICK (a button of the main window, or "close" for WM_CLOSE) and
# checks that it ended within 6 s.
end_program_by() {
  local click=$1 from waited
  from=$(now)
  if [ "$click" = close ]; then
    wine taskkill /IM fumilink.exe > /dev/null 2>&1 || fail "taskkill found no fumilink.exe"
  else
    click_button "$window" "$click"
  fi
  wait_for 30 "the program did not end after '$click'" has_ended "$program_pid"
  waited=$(seconds_since "$from")
  echo "program ended $waited s after '$click'"
  awk -v s="$waited" 'BEGIN { exit !(s < 6) }' || fail "'$click' took $waited s to end the program"
  wait "$program_pid" || fail "fumilink.exe ended with $?"
}

step "no settings file: COM4's link fails, COM5's comes up after 2.5 s; search, stream, take-over"
log=$work/sim-search.log
start_sim "$ports" "$log" --port 5 --bluetooth 5:up=2500 --dead-port 4 --bluetooth 4:fail=800
cp "$slow_open_exe" "$run/fumilink.exe"
start_fumilink "$work/search.stderr" SLOW_OPEN=COM5:2500
# The search's stream request, then the port opened again for the stream: a second
# connection, and the stream asked for again by the keep-alive once it is up.
wait_for 90 "the analyser was not found" file_has "$log" 'COM5 RX "R004"'
wait_for 60 "the stream did not run again after the port was reopened" \
  at_least 2 count_of "$log" 'COM5 STREAM start'
failed=$(first_stamp "$log" 'COM4 LINK failed')
connecting=$(first_stamp "$log" 'COM5 LINK connecting')
[ -n "$failed" ] || fail "COM4's link was not tried: $(head -c 600 "$log")"
! grep -q 'COM4 RX' "$log" || fail "bytes went over COM4's link that never came up"
gap=$(awk -v a="$failed" -v b="$connecting" 'BEGIN { printf "%.2f", b - a }')
echo "COM5 opened $gap s after COM4's link failed"
awk -v g="$gap" 'BEGIN { exit !(g >= 0 && g < 2) }' ||
  fail "COM5 was opened $gap s after COM4's link failed (the hang-up went unnoticed?)"
# Two more cycles written: the first has been in the port for a second, ten poll ticks.
wait_for 60 "no live values" sent_at_least "$log" $(($(lines_sent "$log") + 26))
/usr/bin/import -window "$window" "$out/windows-bluetooth.png" 2> /dev/null || true
end_by_button "$window" BtExit "$program_pid"
stop_sim
file_has "$run/data.csv" '9000=ZOR GX40' || fail "no transfer file: $(cat "$work/search.stderr")"
file_has "$run/data.csv" '9200=SN42' || fail "the transfer file lacks the serial number"
file_has "$run/fumilink.ini" 'comport=5' || fail "COM5 was not remembered"
[ ! -s "$work/search.stderr" ] || fail "messages: $(cat "$work/search.stderr")"
rm -f "$run/data.csv"
install_program "$run"

step "remembered COM5 behind a link that takes a minute: 'Abbrechen' during the wait"
log=$work/sim-abort.log
start_sim "$ports" "$log" --port 5 --bluetooth 5:up=60000
start_fumilink "$work/abort.stderr"
wait_for 60 "the program did not open COM5" file_has "$log" 'COM5 LINK connecting'
sleep 0.5  # well inside the first command's wait for the link
end_program_by BTBreak
! file_has "$log" 'COM5 LINK up' || fail "the link came up"
[ ! -e "$run/data.csv" ] || fail "'Abbrechen' wrote a transfer file"
stop_sim

cp "$slow_open_exe" "$run/fumilink.exe"
for click in BTBreak close; do
  step "an open that never returns: '$click' ends the program"
  log=$work/sim-stall-$click.log
  start_sim "$ports" "$log" --port 5 --bluetooth 5:up=500
  start_fumilink "$work/stall-$click.stderr" SLOW_OPEN=COM5
  wait_for 60 "the program did not open COM5" file_has "$log" 'COM5 LINK connecting'
  sleep 1  # the open's outcome is held back for good: the window waits for it
  end_program_by "$click"
  ! grep -q 'COM5 RX' "$log" || fail "the program used a port whose open never returned"
  stop_sim
done

echo "Bluetooth links under Wine: passed"
