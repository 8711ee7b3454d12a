#!/usr/bin/env bash
# The demo analyser (FUMILINK_DEMO: the analyser simulator inside the program) under Wine,
# on a prefix without a single COM port, as on a PC that has never seen an analyser:
#   1. The Linux program and fumilink.exe, each with FUMILINK_DEMO set to steady values:
#      the title ends in " - DEMO", the search finds the simulated COM5, live values
#      arrive, "Daten übernehmen" writes the transfer file, whose identification lines say
#      DEMO, and the two files are the same byte for byte. No settings file appears: a
#      demo writes none.
#   2. A rehearsed hang-up (--fault hangup-after=...): "Was ist zu tun?" appears and opens
#      the help window. Bluetooth links of the demo: a silent device whose link connects in
#      1 s costs the search that second and the usual one (the figure is printed; it must
#      stay well below the 10 s a link may take), and an analyser behind a link that needs
#      2.5 s is found.
#   3. --mean=30 with an unattended take-over 5 s after the first live values: it waits
#      for the full window, writes the file, and the session record says so.
#   4. A value the demo refuses: named with the reason (on standard error, and in a real
#      message box titled "Fehler"), and the program ends with 0 without any window.
# fumilink.exe starts with the environment Windows gives it (windows_start): FUMILINK_DEMO
# and the program's own settings reach it, DISPLAY and the rest of Unix's do not.
# Screenshots: OUT/windows-demo.png, OUT/windows-demo-refused.png.
#
# Usage: demo_e2e.sh FUMILINK_EXE LINUX_FUMILINK [OUT]
#   LINUX_FUMILINK comes from the Linux build. Needs wine, Xvfb, xdotool, ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
linux_program=$(realpath "${2:?fumilink of the Linux build}")
out=$(realpath -m "${3:-out}")
mkdir -p "$out"

start_wine_session demo
use_own_runtime_folder

step "Wine prefix without any COM port"
make_wine_prefix
keep_listed_ports

# The main window once it is there, checked to be a demo's: demo_window [WHO]
demo_window() {
  local window title
  window=$(main_window "$@")
  title=$(xdotool getwindowname "$window")
  [[ $title == *" - DEMO" ]] || fail "${1:+$1: }the title '$title' does not say DEMO"
  echo "$window"
}
# Waits for live values (the badge turns green with the first data line), then three
# more cycles, so that every value has arrived; takes a screenshot when asked and presses
# "Daten übernehmen": take_over PID WHO [SCREENSHOT]
take_over() {
  local pid=$1 who=$2 shot=${3:-} window
  window=$(demo_window "$who")
  wait_for 60 "$who: no live values" badge_is_green "$window"
  sleep 3
  if [ -n "$shot" ]; then
    /usr/bin/import -window "$window" "$shot"
  fi
  end_by_button "$window" BtExit "$pid" "$who"
}

step "Linux program, FUMILINK_DEMO, no serial port: search, live values, take-over"
mkdir -p "$work/linux" "$work/no-ports"
cp "$linux_program" "$work/linux/fumilink"
start_program "$work/linux" "$work/linux.stderr" env FUMILINK_PORT_DIR="$work/no-ports" \
  XDG_STATE_HOME="$work/state" FUMILINK_DEMO="--steady --log $work/linux-demo.log" FUMILINK_MESSAGE_BOXES=stderr \
  QT_QPA_PLATFORM=xcb ./fumilink "DEMO Heizung Müller" /ART=14 "$work/linux/data.csv"
take_over "$program_pid" Linux
[ -s "$work/linux/data.csv" ] || fail "the Linux program wrote no transfer file"

step "fumilink.exe, FUMILINK_DEMO, no COM port: search, live values, take-over"
run=$work/run
install_program "$run"
transfer=$(winepath -w "$run/data.csv" 2> /dev/null)
demo_log=$(winepath -w "$work/windows-demo.log" 2> /dev/null)
start_program "$run" "$work/windows.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  FUMILINK_DEMO="--steady --log \"$demo_log\"" \
  "${windows_start[@]}" fumilink.exe "DEMO Heizung Müller" /ART=14 "$transfer"
take_over "$program_pid" Windows "$out/windows-demo.png"
[ -s "$run/data.csv" ] || fail "fumilink.exe wrote no transfer file: $(cat "$work/windows.stderr")"
for line in '9000=ZOR GX40 DEMO' '9100=GX40 V2.31 DEMO' '9200=DEMO42'; do
  grep -q -a -x -- "$line"$'\r' "$run/data.csv" || fail "the transfer file lacks '$line'"
done
grep -q 'COM5 RX "R004"' "$work/windows-demo.log" || fail "no simulator log: --log was not taken"
[ ! -e "$run/fumilink.ini" ] ||
  fail "the demo wrote fumilink.ini beside the exe: $(tr '\r\n' '| ' < "$run/fumilink.ini")"
if ! cmp -s "$work/linux/data.csv" "$run/data.csv"; then
  diff <(od -c "$work/linux/data.csv") <(od -c "$run/data.csv") | head -n 20 >&2
  fail "the transfer files of Linux and Windows differ"
fi
echo "transfer file identical to the Linux program's ($(wc -c < "$run/data.csv") bytes)"
# Each run's session record, in the local application data on Windows: the take-over in
# it, the header line (a customer's name) not.
for record in "$work"/state/fumilink/logs/fumilink-*.log \
  "$WINEPREFIX"/drive_c/users/*/AppData/Local/Fumilink/Logs/fumilink-*.log; do
  [ -s "$record" ] || fail "no session record: $record"
  grep -q -a ' fumilink.link take-over: transfer file .* written (22 lines)' "$record" ||
    fail "the session record $record lacks the take-over: $(tail -n 5 "$record")"
  ! grep -q -a 'Heizung' "$record" || fail "the session record $record holds the header line"
done
echo "session records of both programs hold the take-over and not the header line"
[ ! -s "$work/windows.stderr" ] || fail "messages: $(cat "$work/windows.stderr")"

step "fumilink.exe acts out a session record (FUMILINK_DEMO=--replay FILE) as the technician's program met it"
# A record the Linux program left: COM3 silent, COM4 refused, the analyser on COM5.
cp "$here/../ui/records/take-over.log" "$work/record.log"
replay_run=$work/replay
install_program "$replay_run"
record_w=$(winepath -w "$work/record.log" 2> /dev/null)
replay_log_w=$(winepath -w "$work/replay-sim.log" 2> /dev/null)
start_program "$replay_run" "$work/replay.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  FUMILINK_DEMO="--replay \"$record_w\" --log \"$replay_log_w\"" \
  "${windows_start[@]}" fumilink.exe DEMO /ART=14 "$(winepath -w "$replay_run/data.csv" 2> /dev/null)"
take_over "$program_pid" "Windows replay"
grep -q 'COM4 OPEN refused as recorded' "$work/replay-sim.log" ||
  fail "the replay did not refuse COM4: $(head -c 600 "$work/replay-sim.log")"
grep -q -a -x -- '9000=ZOR GX40 DEMO'$'\r' "$replay_run/data.csv" ||
  fail "the replay's analyser was not taken over: $(cat "$work/replay.stderr")"
[ ! -s "$work/replay.stderr" ] || fail "messages: $(cat "$work/replay.stderr")"
echo "record replayed: COM4 refused as recorded, the analyser on COM5 taken over"

step "fumilink.exe --mean=30 with an unattended take-over: it waits for a full window, then writes"
mean_run=$work/mean
install_program "$mean_run"
start_program "$mean_run" "$work/mean.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" fumilink.exe "--demo=--take-over-after 5" --mean=30 DEMO /ART=14 \
  "$(winepath -w "$mean_run/data.csv" 2> /dev/null)"
wait_for 120 "the take-over with the mean did not end the program" has_ended "$program_pid"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "the run with the mean ended with $status"
[ -s "$mean_run/data.csv" ] || fail "no transfer file with the mean: $(cat "$work/mean.stderr")"
[ ! -s "$work/mean.stderr" ] || fail "messages: $(cat "$work/mean.stderr")"
mean_record=$(grep -l -a 'fumilink.link mean: over 30 s, asked for by the switch --mean' \
  "$WINEPREFIX"/drive_c/users/*/AppData/Local/Fumilink/Logs/fumilink-*.log | head -n 1)
[ -n "$mean_record" ] || fail "no session record says that the mean was asked for"
waited_at=$(awk '/ take-over: waits for the mean/ { print $1; exit }' "$mean_record")
means_at=$(awk '/ take-over: the means of the last 30 s/ { print $1; exit }' "$mean_record")
[ -n "$waited_at" ] && [ -n "$means_at" ] ||
  fail "the record lacks the wait or the means: $(tail -n 5 "$mean_record")"
# Pressed 5 s after the first live values, it waits for the other 25.
[ $((means_at - waited_at)) -ge 20000 ] ||
  fail "the take-over waited $((means_at - waited_at)) ms for the mean's window of 30 s"
echo "the take-over waited $((means_at - waited_at)) ms for the mean, then wrote the file"

step "a rehearsed hang-up shows its error state"
start_program "$run" "$work/hangup.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  FUMILINK_DEMO="--cycle-ms 300 --fault hangup-after=6000" "${windows_start[@]}" fumilink.exe
window=$(demo_window hang-up)
wait_for 60 "no live values before the hang-up" badge_is_green "$window"
wait_for 60 "no help window after the hang-up" help_opens_from "$window"
help_window=$(window_of "$HELP_TITLE_PATTERN")
eval "$(xdotool getwindowgeometry --shell "$help_window")"
xdotool mousemove --window "$help_window" $((WIDTH / 2)) $((HEIGHT - 41 + 20)) click 1
wait_for 30 "'OK' did not close the help window" help_is_hidden
end_by_button "$window" BTBreak "$program_pid" hang-up

# The demo log's time stamp of the first line holding TEXT: stamp_of LOG TEXT
stamp_of() { awk -v text="$2" 'index($0, text) { print $1; exit }' "$1"; }
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

step "Bluetooth links of the demo: a silent device that connects in 1 s, a slow analyser"
# Their output queue holds the program's bytes while they connect, as a stack whose open
# returns early does. The silent device costs its connection and the usual second; ten
# seconds from its open would be the most it could cost.
bt_log=$work/demo-bluetooth.log
start_program "$run" "$work/bluetooth.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  FUMILINK_DEMO="--port 5 --dead-port 4 --bluetooth 4:up=1000 --bluetooth 5:up=2500 --log \"$(winepath -w "$bt_log" 2> /dev/null)\"" \
  "${windows_start[@]}" fumilink.exe
window=$(demo_window bluetooth)
wait_for 60 "the analyser behind its slow link was not found" file_has "$bt_log" 'COM5 RX "R004"'
opened=$(stamp_of "$bt_log" 'COM4 LINK connecting')
up=$(stamp_of "$bt_log" 'COM4 LINK up')
next=$(stamp_of "$bt_log" 'COM5 LINK connecting')
[ -n "$opened" ] && [ -n "$up" ] && [ -n "$next" ] || fail "COM4 was not tried: $(head -c 900 "$bt_log")"
cost=$(seconds_between "$opened" "$next")
echo "silent Bluetooth device: link up $(seconds_between "$opened" "$up") s after its open, next port $cost s after it"
awk -v c="$cost" 'BEGIN { exit !(c < 9) }' || fail "the silent device cost $cost s (its link wait ran to the end)"
echo "analyser behind a 2.5 s link: found, link up $(seconds_between "$next" "$(stamp_of "$bt_log" 'COM5 LINK up')") s after its open"
end_by_button "$window" BTBreak "$program_pid" bluetooth

step "a value the demo refuses: named, and the program ends without a search"
refused='--port 5 --fault sparks'
start_program "$run" "$work/refused.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  FUMILINK_DEMO="$refused" "${windows_start[@]}" fumilink.exe
wait_for 60 "the program did not end on a refused FUMILINK_DEMO" has_ended "$program_pid"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "a refused FUMILINK_DEMO ended the program with $status"
grep -q -a -F "FUMILINK_DEMO=$refused wird nicht angenommen" "$work/refused.stderr" &&
  grep -q -a -F "unknown fault 'sparks'" "$work/refused.stderr" ||
  fail "the refusal did not name the value and its reason: $(cat "$work/refused.stderr")"
! has_window "$FUMILINK_TITLE_PATTERN" || fail "a main window appeared"
# The same as a real message box.
start_program "$run" "$work/refused-box.stderr" env FUMILINK_DEMO="$refused" \
  "${windows_start[@]}" fumilink.exe
wait_for 60 "no message box for the refused FUMILINK_DEMO" has_window '^Fehler$'
box=$(window_of '^Fehler$')
/usr/bin/import -window "$box" "$out/windows-demo-refused.png"
xdotool mousemove --window "$box" 20 20 click 1
xdotool key --window "$box" Return 2> /dev/null  # (Xvfb without a window manager: a note)
wait_for 30 "the program did not end after the box" has_ended "$program_pid"
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with $status after the box"
! has_window "$FUMILINK_TITLE_PATTERN" || fail "a main window appeared after the box"

echo "demo analyser under Wine: passed (screenshots in $out)"
