#!/usr/bin/env bash
# fumilink.exe under Wine against the faults the Linux program is checked against
# (tests/link/simulator_test.cpp, tests/ui/program_window_test.cpp), with fumilink-sim's
# faults on COM5 and COM6 of the prefix, on a virtual X server, each run started as Windows
# starts a program (windows_start):
#   1. A hang-up in the stream: the analyser goes away while its data lines come; a second
#      analyser on COM6 stays untouched, also by the search that a double-click on the
#      connection picture then starts (the remembered COM5 cannot be opened).
#   2. A hang-up in the keep-alive: the analyser hangs up on the stream request the poll
#      loop sends after ten idle ticks (the fourth w904).
#   3. Silence and a reply without CR in the take-over: an analyser that falls silent as
#      the take-over begins (its first service command, the fourth after the search's
#      three), and one whose replies lose their CR from R002 on (which only the take-over
#      sends).
#   4. A flood during the take-over: data lines back to back as fast as the port takes them,
#      which no service command stops.
#   5. A port that vanishes in the search, with a second analyser beside it: COM5 hangs up on
#      the first command; the search goes on to COM6 and finds that analyser, whose
#      identification the transfer file then carries.
#   6. A double-click on the connection picture while a keep-alive waits for its (slow)
#      reply: the new search runs once the wait has ended, and the take-over after it
#      writes the exact file.
#   7. The window closed (WM_CLOSE, as taskkill without /F sends it) while the take-over
#      waits for an analyser that fell silent as it began, with real message boxes: the
#      program ends at once, without a file and without a box.
# Each checks what the Linux tests check: no hang (the program ends, with 0, by "Abbrechen"
# or the close, within a bound), the status texts (fumilink.exe writes them to its session
# record: nothing can read its window's texts under Wine),
# no transfer file or exactly the one the Linux program writes against the same steady
# values, the settings file intact, and no other file left in the folder (no temporary
# file of a replace). The seconds each scenario and the whole run took are printed.
#
# Usage: faults_e2e.sh FUMILINK_EXE FUMILINK_SIM LINUX_FUMILINK [OUT]
#   FUMILINK_SIM and LINUX_FUMILINK come from the Linux build. Needs wine, Xvfb, xdotool.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
use_simulator "${2:?fumilink-sim of the Linux build}"
linux_program=$(realpath "${3:?fumilink of the Linux build}")
out=$(realpath -m "${4:-out}")
mkdir -p "$out"
began=$SECONDS

start_wine_session faults
use_own_runtime_folder
# A failure shows what the program said and the end of the simulator's log.
errors=
log=
eval "plain_$(declare -f x_fail)"
x_fail() {
  if [ -n "$errors" ] && [ -f "$errors" ]; then
    echo "-- what fumilink.exe said ($(basename "$errors")):" >&2
    tr -d '\r' < "$errors" | tail -n 25 >&2
  fi
  if [ -n "$log" ] && [ -f "$log" ]; then
    echo "-- simulator log $(basename "$log"), last lines:" >&2
    grep -v ' SENT ' "$log" | tail -n 25 >&2
    cp "$log" "$out/" 2> /dev/null || true
  fi
  plain_x_fail "$@"
}

step "Wine prefix with COM5 and COM6 mapped to the simulators' ports"
ports=$work/ports
make_wine_prefix "COM5=$ports/COM5" "COM6=$ports/COM6"
keep_listed_ports COM5 COM6
# The search tries the ports in the registry's order; scenario 5 needs COM5 first.
[ "$(listed_ports | head -n 1 | cut -d= -f2)" = COM5 ] ||
  fail "the registry lists $(listed_ports | paste -sd ' '), COM5 not first"
post_close=$(windows_tool post_close -municode) || exit 1

header="DEMO Heizung Müller"
run=$work/run
install_program "$run"
transfer=$(winepath -w "$run/data.csv" 2> /dev/null)
# The settings file as the search saves it, for the analyser on COM5 and the one on COM6.
settings_a() { printf '[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n'; }
settings_b() { printf '[Main]\r\ncomport=6\r\nSerNr=ZOR GX40 SN77\r\n'; }

now() { date +%s.%N; }
milliseconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.0f", 1000 * (b - a) }'; }

# The status texts the window showed, one a line, from the run's session record (UTF-8;
# start_fumilink leaves no other record in the folder), and the message boxes it showed on
# standard error (in the ANSI code page: Windows-1252 here).
records_dir() { printf '%s\n' "$WINEPREFIX"/drive_c/users/*/AppData/Local/Fumilink/Logs; }
statuses() {
  cat "$(records_dir)"/fumilink-*.log 2> /dev/null | sed -n 's/^[0-9]* fumilink\.ui status: //p'
}
status_is() { [ "$(statuses | tail -n 1)" = "$1" ]; }
boxes() { tr -d '\r' < "$1" | grep -a -E '^(Fehler|Information): ' || true; }
# wait_for_status TEXT [SECONDS]: the window shows TEXT now.
wait_for_status() {
  wait_for "${2:-60}" "the status never became '$1' (it is '$(statuses | tail -n 1)')" \
    status_is "$1"
}
# showed_in_order TEXT...: the window showed these status texts in this order.
showed_in_order() {
  local text from=0 at
  for text in "$@"; do
    at=$(statuses | awk -v t="$text" -v f="$from" 'NR > f && $0 == t { print NR; exit }')
    [ -n "$at" ] || fail "the status '$text' did not follow; shown: $(statuses | paste -sd '|')"
    from=$at
  done
}

count_of() { grep -a -c -F -- "$2" "$1" || true; }
at_least() {
  local n=$1
  shift
  [ "$("$@")" -ge "$n" ]
}

# begin WHAT [SETTINGS]: a scenario starts with the program's folder as the calling program
# leaves it: fumilink.exe, and the settings file that the function SETTINGS prints.
begin() {
  step "$1"
  scenario_began=$SECONDS
  rm -f "$run/data.csv" "$run/fumilink.ini"
  [ -z "${2:-}" ] || "$2" > "$run/fumilink.ini"
}
# end_of_scenario SETTINGS [data.csv]: the settings file holds what SETTINGS prints, byte
# for byte, and the folder nothing but the program, its settings and, when named, the
# transfer file.
end_of_scenario() {
  local expected
  "$1" | cmp -s - "$run/fumilink.ini" ||
    fail "fumilink.ini is not intact: $(tr '\r\n' '| ' < "$run/fumilink.ini" 2> /dev/null)"
  local held
  expected=$(printf '%s\n' fumilink.exe fumilink.ini "${@:2}" | sort | paste -sd ' ')
  held=$(find "$run" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | paste -sd ' ')
  [ "$held" = "$expected" ] || fail "the program's folder holds $held, not $expected"
  echo "scenario took $((SECONDS - scenario_began)) s"
}
no_transfer_file() { [ ! -e "$run/data.csv" ] || fail "a transfer file was written"; }
# exact_transfer_file REFERENCE: data.csv equals REFERENCE byte for byte.
exact_transfer_file() {
  [ -s "$run/data.csv" ] || fail "no transfer file"
  if ! cmp -s "$1" "$run/data.csv"; then
    diff <(od -c "$1") <(od -c "$run/data.csv") | head -n 20 >&2
    fail "the transfer file differs from the Linux program's"
  fi
}

# start_fumilink NAME [VARIABLE=VALUE ...]: fumilink.exe from its folder with the arguments
# of the reference run and that environment, its status texts (and messages) on standard
# error ($errors); waits for its window (window; program_pid).
start_fumilink() {
  errors=$work/$1.stderr
  shift
  # The record of the run before goes with it: statuses reads this run's.
  rm -f "$(records_dir)"/fumilink-*.log
  start_program "$run" "$errors" env "$@" \
    "${windows_start[@]}" fumilink.exe "$header" /ART=14 "$transfer"
  window=$(main_window)
}
# Live values: the window says so, and three more cycles have been written.
wait_until_online() {
  wait_for_status "Onlinedaten werden empfangen"
  wait_for_live_values "$log"
}
# Presses "Abbrechen" (the program must end, with 0) and stops the simulator.
end_by_abbrechen() {
  end_by_button "$window" BTBreak "$program_pid"
  stop_sim
}
double_click_picture() { xdotool mousemove --window "$window" 18 18 click --repeat 2 --delay 80 1; }
# "OK" (80 x 25, centred, 8 pixels into the 41-pixel panel at the bottom) hides the help
# window, which otherwise lies over the main window's buttons.
close_help_window() {
  local help_window WIDTH HEIGHT
  help_window=$(window_of "$HELP_TITLE_PATTERN")
  eval "$(xdotool getwindowgeometry --shell "$help_window" | grep -E '^(WIDTH|HEIGHT)=')"
  xdotool mousemove --window "$help_window" $((WIDTH / 2)) $((HEIGHT - 41 + 20)) click 1
  wait_for 30 "'OK' did not close the help window" help_is_hidden
}
# The simulator's time stamp of the Nth log line holding TEXT: stamp_of LOG TEXT N
stamp_of() { grep -a -F -- "$2" "$1" | sed -n "${3}p" | cut -d ' ' -f 1; }

step "Linux program against the simulator: the transfer file to compare with"
mkdir -p "$work/linux" "$work/linux-ports"
cp "$linux_program" "$work/linux/fumilink"
log=$work/sim-linux.log
start_sim "$work/linux-ports" "$log" --port 5 --cycle-ms 300
start_program "$work/linux" "$work/linux.stderr" env FUMILINK_PORT_DIR="$work/linux-ports" \
  FUMILINK_MESSAGE_BOXES=stderr QT_QPA_PLATFORM=xcb ./fumilink "$header" /ART=14 \
  "$work/linux/data.csv"
window=$(main_window Linux)
wait_for_live_values "$log" Linux
end_by_button "$window" BtExit "$program_pid" Linux
stop_sim
reference=$work/reference.csv
cp "$work/linux/data.csv" "$reference" 2> /dev/null || fail "the Linux program wrote no transfer file"
# The second analyser differs only in its serial number.
reference_b=$work/reference-b.csv
sed 's/^9200=SN42\r$/9200=SN77\r/' "$reference" > "$reference_b"
grep -q -a '^9200=SN77' "$reference_b" || fail "the reference has no serial number line"

# The second analyser, on COM6, for scenarios 1 and 5: second_analyser LOG [OPTION ...]
second_analyser() {
  local first=$sim_pid
  start_sim "$ports" "$1" --port 6 --serial SN77 --cycle-ms 300 "${@:2}"
  sim_b_pid=$sim_pid
  sim_pid=$first
}
stop_second_analyser() {
  kill "$sim_b_pid" 2> /dev/null || true
  wait "$sim_b_pid" 2> /dev/null || true
}

begin "1. hang-up in the stream, a second analyser on COM6" settings_a
log=$work/sim-stream.log
start_sim "$ports" "$log" --port 5 --cycle-ms 300
second_analyser "$work/sim-stream-com6.log"
start_fumilink stream FUMILINK_MESSAGE_BOXES=stderr
wait_until_online
stop_sim  # the analyser is switched off: its port hangs up, its link vanishes
wait_for_status "Fehler: Keine Antwort vom Gerät" 30
wait_for 30 "no 'Was ist zu tun?' after the hang-up" help_opens_from "$window"
close_help_window
# A new search tries the remembered COM5 only, which cannot be opened any more.
double_click_picture
wait_for_status "kein Messgerät gefunden - bitte Einschalten!" 30
[ "$(count_of "$work/sim-stream-com6.log" ' RX ')" -eq 0 ] ||
  fail "the second analyser on COM6 was written to"
[ -z "$(boxes "$errors")" ] || fail "message boxes: $(boxes "$errors")"
end_by_abbrechen
stop_second_analyser
no_transfer_file
end_of_scenario settings_a

begin "2. hang-up in the keep-alive" settings_a
log=$work/sim-keep-alive.log
start_sim "$ports" "$log" --port 5 --fault 'hangup-on=w904#4'
start_fumilink keep-alive FUMILINK_MESSAGE_BOXES=stderr
wait_for 60 "no keep-alive reached the analyser" file_has "$log" 'HANGUP on "w904"'
hung_up=$(now)
wait_for_status "Fehler: Keine Antwort vom Gerät" 30
echo "the error showed $(milliseconds_since "$hung_up") ms after the hang-up was seen"
showed_in_order "Onlinedaten werden empfangen" "Fehler: Keine Antwort vom Gerät"
[ "$(count_of "$log" 'RX "w904"')" -eq 4 ] || fail "the hang-up was not on the first keep-alive"
[ -z "$(boxes "$errors")" ] || fail "message boxes: $(boxes "$errors")"
end_by_abbrechen
no_transfer_file
end_of_scenario settings_a

for fault in 'silent=SERVICE002#4' no-cr=R002; do
  begin "3. the take-over meets an analyser with the fault $fault" settings_a
  log=$work/sim-take-over-${fault%%=*}.log
  start_sim "$ports" "$log" --port 5 --cycle-ms 300 --fault "$fault"
  start_fumilink "take-over-${fault%%=*}" FUMILINK_MESSAGE_BOXES=stderr
  wait_until_online
  clicked=$(now)
  click_button "$window" BtExit
  wait_for 30 "the take-over did not give up" at_least 1 count_of "$errors" "Keine Antwort vom Messger"
  echo "the take-over gave up $(milliseconds_since "$clicked") ms after the click"
  [ "$(boxes "$errors" | wc -l)" -eq 1 ] || fail "message boxes: $(boxes "$errors")"
  showed_in_order "Daten werden übernommen ..." "Fehler: Keine Antwort vom Gerät"
  status_is "Fehler: Keine Antwort vom Gerät" ||
    fail "the status is '$(statuses | tail -n 1)' after the take-over"
  has_window "$FUMILINK_TITLE_PATTERN" || fail "the window did not stay"
  end_by_abbrechen
  no_transfer_file
  end_of_scenario settings_a
done

begin "4. a flood during the take-over" settings_a
log=$work/sim-flood.log
start_sim "$ports" "$log" --port 5 --fault nonstop --cycle-ms 0 --rate max
start_fumilink flood FUMILINK_MESSAGE_BOXES=stderr
wait_for_status "Onlinedaten werden empfangen"
clicked=$(now)
click_button "$window" BtExit
# The take-over ends one way or the other: the exact file and the end of the program, or
# "Keine Antwort" (data lines are no identification) with the window left.
ended() { has_ended "$program_pid" || at_least 1 count_of "$errors" "Keine Antwort vom Messger"; }
wait_for 60 "the take-over did not end in the flood" ended
echo "the take-over ended $(milliseconds_since "$clicked") ms after the click"
if has_ended "$program_pid"; then
  wait "$program_pid" || fail "fumilink.exe ended with $?"
  stop_sim
  exact_transfer_file "$reference"
  echo "the real replies came through the flood: the exact file"
  end_of_scenario settings_a data.csv
else
  [ "$(boxes "$errors" | wc -l)" -eq 1 ] || fail "message boxes: $(boxes "$errors")"
  # (The flood goes on, and its next data line shows that data flows again.)
  showed_in_order "Daten werden übernommen ..." "Fehler: Keine Antwort vom Gerät"
  echo "data lines took the place of the replies: no file"
  end_by_abbrechen
  no_transfer_file
  end_of_scenario settings_a
fi

begin "5. COM5 vanishes in the search, a second analyser on COM6"
log=$work/sim-vanish.log
start_sim "$ports" "$log" --port 5 --fault hangup-on=SERVICE002
second_analyser "$work/sim-vanish-com6.log"
start_fumilink vanish FUMILINK_MESSAGE_BOXES=stderr
log=$work/sim-vanish-com6.log
wait_until_online
showed_in_order "Teste COM5" "Teste COM6" "Gerät am COM6 gefunden" "Onlinedaten werden empfangen"
file_has "$work/sim-vanish.log" 'HANGUP on "SERVICE002"' || fail "COM5 did not vanish in the search"
end_by_button "$window" BtExit "$program_pid"
stop_second_analyser
stop_sim
[ -z "$(boxes "$errors")" ] || fail "message boxes: $(boxes "$errors")"
exact_transfer_file "$reference_b"
end_of_scenario settings_b data.csv

begin "6. a double-click on the connection picture while a keep-alive waits" settings_a
log=$work/sim-double-click.log
# The stream stops a second after each stream request, so that the keep-alive waits for its
# slow reply: a data line still coming would end the wait as soon as its CR came. Lines go
# out at once (--rate max): the cycle that the keep-alive starts is in the port when the
# wait ends, and the close before the new search takes it away. (Lines still coming during
# the search would be read as replies, and with replies 400 ms late every later reply would
# come one command late: the search then fails.)
start_sim "$ports" "$log" --port 5 --cycle-ms 300 --stream-seconds 1 --rate max \
  --fault delay=400
start_fumilink double-click FUMILINK_MESSAGE_BOXES=stderr
wait_for_status "Onlinedaten werden empfangen"
# The first keep-alive is the fourth w904; its reply comes 400 ms after it.
deadline=$((SECONDS + 60))
until [ "$(count_of "$log" 'RX "w904"')" -ge 4 ]; do
  [ "$SECONDS" -lt "$deadline" ] || fail "no keep-alive reached the analyser"
  sleep 0.01
done
sent=$(now)
double_click_picture
clicked_after=$(milliseconds_since "$sent")
echo "double-clicked ${clicked_after} ms after the keep-alive reached the analyser"
[ "$clicked_after" -lt 400 ] || fail "the double-click came after the keep-alive's reply"
wait_for 60 "no new search after the double-click" at_least 2 count_of "$log" 'RX "R001"'
# The search began only once the keep-alive's wait had its reply, 400 ms after it.
gap=$(awk -v a="$(stamp_of "$log" 'RX "w904"' 4)" -v b="$(stamp_of "$log" 'RX "SERVICE002"' 4)" \
  'BEGIN { printf "%.0f", 1000 * (b - a) }')
echo "the new search began ${gap} ms after the keep-alive"
[ "$gap" -ge 400 ] || fail "the new search cut the keep-alive's wait short (${gap} ms)"
wait_until_online
end_by_button "$window" BtExit "$program_pid"
stop_sim
[ -z "$(boxes "$errors")" ] || fail "message boxes: $(boxes "$errors")"
exact_transfer_file "$reference"
end_of_scenario settings_a data.csv

begin "7. the window closed (WM_CLOSE) while the take-over waits" settings_a
log=$work/sim-close.log
start_sim "$ports" "$log" --port 5 --cycle-ms 300 --fault 'silent=SERVICE002#4'
start_fumilink close  # real message boxes: one that came up would keep the program
wait_until_online
# The close goes out as the analyser leaves the take-over's first command unanswered.
wine "$post_close" fumilink.exe "$(winepath -w "$log" 2> /dev/null)" 'COM5 SILENT from' \
  > "$work/post-close.out" 2>&1 &
closer=$!
stop_at_exit "$closer"
wait_for 30 "post_close.exe did not start" file_has "$work/post-close.out" 'waiting for'
clicked=$(now)
click_button "$window" BtExit
wait "$closer" || fail "the close was not posted: $(cat "$work/post-close.out")"
tr -d '\r' < "$work/post-close.out" | grep -v '^waiting'
closed=$(now)
if ! ended_within 20 "$program_pid"; then
  ! has_window '^Informationen$' || fail "a message box came up after the close and kept the program"
  fail "the program did not end after the close"
fi
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "fumilink.exe ended with $status"
echo "the program ended $(milliseconds_since "$closed") ms after the close ($(milliseconds_since "$clicked") ms after the click)"
# The close reached the waiting exchange ("Nutzerabbruch"), not a take-over that had given
# up already.
showed_in_order "Daten werden übernommen ..." "Nutzerabbruch"
statuses | grep -q -x "Fehler: Keine Antwort vom Gerät" &&
  fail "the take-over had given up before the close: $(statuses | paste -sd '|')"
stop_sim
# An exchange after the close still sends its command and ends at once; the take-over does
# not end as one that succeeded, with the stream request.
! sed -n '/SILENT from/,$p' "$log" | grep -q -a 'RX "w904"' ||
  fail "the take-over asked for the stream again after the close"
no_transfer_file
end_of_scenario settings_a

echo "fumilink.exe against the faults under Wine: passed in $((SECONDS - began)) s"
