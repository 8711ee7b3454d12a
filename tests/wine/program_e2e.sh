#!/usr/bin/env bash
# fumilink.exe end to end under Wine against fumilink-sim, the way a technician's Windows
# laptop runs it, on a virtual X server:
#   1. No settings file; COM3 is a dead port and COM5 the analyser. The main window appears
#      with the title the build made (fumilink-version.sh beside the exe), the search finds
#      COM5, fumilink.ini beside the exe gets comport=5, live values arrive, a click on
#      "Daten übernehmen" writes the transfer file and ends the program with 0. The file must equal byte for byte what the Linux program writes
#      against the same (steady) simulator values.
#   2. The remembered-port start touches COM5 only (the simulator's log shows nothing on
#      COM3).
#   3. A second copy, started while that one runs, shows the message of the locale in the
#      registry (00000407: German) and ends with 0.
#   4. The analyser going away brings up "Was ist zu tun?"; it opens the help window.
# Screenshots: OUT/windows-main.png, OUT/windows-help.png, OUT/windows-second-copy.png.
#
# Usage: program_e2e.sh FUMILINK_EXE FUMILINK_SIM LINUX_FUMILINK [OUT]
#   FUMILINK_SIM and LINUX_FUMILINK come from the Linux build. Needs wine, Xvfb, xdotool,
#   ImageMagick's import.
set -euo pipefail
exe=$(realpath "${1:?fumilink.exe}")
sim=$(realpath "${2:?fumilink-sim of the Linux build}")
linux_program=$(realpath "${3:?fumilink of the Linux build}")
out=$(realpath -m "${4:-out}")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"

work=$(mktemp -d /tmp/fumilink-wine-e2e-XXXXXX)
# Wine follows the Unix locale for its own settings: one locale for every Wine call, so
# that the Locale value written below stays as written.
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES
export WINEPREFIX=$work/prefix WINEDEBUG=-all
export XDG_RUNTIME_DIR=$work/runtime  # the Linux program's single-instance lock
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

background=()
cleanup() {
  local pid
  for pid in "${background[@]}"; do kill "$pid" 2> /dev/null || true; done
  wineserver -k > /dev/null 2>&1 || true
  wineserver -w > /dev/null 2>&1 || true
  for pid in "${background[@]}"; do wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=../../scripts/lib/x-session.sh
source "$here/../../scripts/lib/x-session.sh"
use_version_of "$exe"
fail() { x_fail "$@"; }
step() { echo "-- $*"; }

file_has() { [ -f "$1" ] && grep -q -a -- "$2" "$1"; }
# Number of data lines the simulator has written (its --log-sent lines).
lines_sent() { sed -n 's/.* SENT \([0-9]*\) .*/\1/p' "$1" | tail -n 1; }
sent_at_least() { local n; n=$(lines_sent "$1"); [ "${n:-0}" -ge "$2" ]; }

# A virtual X server of our own.
# (The help window's designed place, 490,297 with 600 x 409, needs more than 1024 x 768.)
start_xvfb "$work" 1280x1024
background+=("$XVFB_PID")

step "Wine prefix with COM3 and COM5 mapped to the simulator's ports"
ports=$work/ports
mkdir -p "$ports"
"$here/wine-prefix.sh" create "$WINEPREFIX" "COM3=$ports/COM3" "COM5=$ports/COM5"
# A persistent server keeps the port list edited below (the key is volatile: Wine fills it
# anew whenever its device manager starts).
wineserver -p 2> "$work/wineserver.log"
wine reg add 'HKCU\Control Panel\International' /v Locale /d 00000407 /f > /dev/null 2>&1
# Wine also gives every /dev/ttyS* of this machine a COM number; the search must not write
# to a real console port, so only the two mapped ports stay listed.
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
wine reg query "$serialcomm" 2> /dev/null | tr -d '\r' |
  awk '$2 == "REG_SZ" && $3 != "COM3" && $3 != "COM5" { print $1 }' |
  while read -r value; do
    wine reg delete "$serialcomm" /v "$value" /f > /dev/null 2>&1
  done
listed=$(wine reg query "$serialcomm" 2> /dev/null | tr -d '\r' | awk '$2 == "REG_SZ" { print $3 }' | sort | xargs)
[ "$listed" = "COM3 COM5" ] || fail "port list is '$listed', not 'COM3 COM5'"

start_sim() { # port folder, log file
  rm -f "$work/ready"
  "$sim" --port-dir "$1" --port 5 --dead-port 3 --steady --log "$2" --log-sent \
    --ready-file "$work/ready" > /dev/null &
  sim_pid=$!
  background+=("$sim_pid")
  wait_for 20 "the simulator did not start" test -s "$work/ready"
}
stop_sim() {
  kill "$sim_pid" 2> /dev/null || true
  wait "$sim_pid" 2> /dev/null || true
}

# Runs a program against the simulator until live values have been shown, then takes a
# screenshot (when asked) and clicks "Daten übernehmen" (344,12, 165 x 29).
# take_over PID SIM_LOG [SCREENSHOT]
take_over() {
  local pid=$1 log=$2 shot=${3:-} window
  wait_for 90 "the main window did not appear" has_window "$FUMILINK_TITLE_PATTERN"
  window=$(window_of "$FUMILINK_TITLE_PATTERN")
  # The designed client area at 96 dots per inch (the virtual screen's).
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
  [ "${WIDTH}x${HEIGHT}" = 515x286 ] || fail "the window is ${WIDTH}x${HEIGHT}, not 515x286"
  wait_for 60 "the stream did not start (no analyser found)" file_has "$log" 'STREAM start'
  # Three more cycles written: the first two have been in the port for a second or more,
  # ten of the program's 100 ms poll ticks.
  local start
  start=$(lines_sent "$log")
  wait_for 60 "the simulator did not stream" sent_at_least "$log" $((${start:-0} + 39))
  if [ -n "$shot" ]; then
    /usr/bin/import -window "$window" "$shot"
  fi
  click_button "$window" BtExit
  wait_for 60 "the program did not end after 'Daten übernehmen'" has_ended "$pid"
}

step "Linux program against the simulator: the transfer file to compare with"
mkdir -p "$work/linux" "$work/linux-ports"
cp "$linux_program" "$work/linux/fumilink"
start_sim "$work/linux-ports" "$work/sim-linux.log"
(cd "$work/linux" && FUMILINK_PORT_DIR="$work/linux-ports" FUMILINK_MESSAGE_BOXES=stderr \
  QT_QPA_PLATFORM=xcb exec ./fumilink "DEMO Heizung Müller" /ART=14 "$work/linux/data.csv") \
  2> "$work/linux.stderr" &
linux_pid=$!
take_over "$linux_pid" "$work/sim-linux.log"
wait "$linux_pid" || fail "the Linux program ended with $?"
stop_sim
[ -s "$work/linux/data.csv" ] || fail "the Linux program wrote no transfer file"

step "fumilink.exe, no settings file: search, live values, take-over"
run=$work/run
mkdir -p "$run"
cp "$exe" "$run/fumilink.exe"
start_sim "$ports" "$work/sim-first.log"
transfer=$(winepath -w "$run/data.csv" 2> /dev/null)
(cd "$run" && FUMILINK_MESSAGE_BOXES=stderr exec wine fumilink.exe "DEMO Heizung Müller" /ART=14 "$transfer") \
  2> "$work/first.stderr" &
first_pid=$!
take_over "$first_pid" "$work/sim-first.log" "$out/windows-main.png"
status=0
wait "$first_pid" || status=$?
[ "$status" -eq 0 ] || fail "fumilink.exe ended with $status"
stop_sim
grep -q 'COM3 RX' "$work/sim-first.log" || fail "the search did not try the dead COM3"
printf '[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n' | cmp -s - "$run/fumilink.ini" ||
  fail "fumilink.ini beside the exe: $(tr '\r\n' '| ' < "$run/fumilink.ini" 2> /dev/null)"
[ -s "$run/data.csv" ] || fail "fumilink.exe wrote no transfer file"
if ! cmp -s "$work/linux/data.csv" "$run/data.csv"; then
  diff <(od -c "$work/linux/data.csv") <(od -c "$run/data.csv") | head -n 20 >&2
  fail "the transfer files of Linux and Windows differ"
fi
echo "transfer file identical to the Linux program's ($(wc -c < "$run/data.csv") bytes)"

step "remembered port; a second copy; the analyser going away"
start_sim "$ports" "$work/sim-again.log"
(cd "$run" && FUMILINK_MESSAGE_BOXES=stderr exec wine fumilink.exe) 2> "$work/again.stderr" &
again_pid=$!
wait_for 90 "the window did not appear" has_window "$FUMILINK_TITLE_PATTERN"
main_window=$(window_of "$FUMILINK_TITLE_PATTERN")
wait_for 60 "the remembered port was not used" file_has "$work/sim-again.log" 'STREAM start'
! grep -q 'COM3 RX' "$work/sim-again.log" || fail "the remembered-port start wrote to COM3"

# The second copy shows a real message box, titled after the executable.
(cd "$run" && exec wine fumilink.exe) > /dev/null 2> "$work/second.stderr" &
second_pid=$!
wait_for 60 "the second copy showed no message box" has_window '^fumilink$'
box=$(window_of '^fumilink$')
/usr/bin/import -window "$box" "$out/windows-second-copy.png"
expected=$(printf 'Programm l\344uft schon auf diesem Arbeitsplatz!')
grep -q -a -F "$expected" "$work/second.stderr" ||
  fail "the second copy did not say '$(iconv -f WINDOWS-1252 -t UTF-8 <<< "$expected")': $(iconv -f WINDOWS-1252 -t UTF-8 "$work/second.stderr" | head -c 300)"
# A click into the box gives it the keyboard; Return presses its only button, "OK".
xdotool mousemove --window "$box" 20 20 click 1
xdotool key --window "$box" Return 2> /dev/null  # (Xvfb without a window manager: a note)
wait_for 30 "the second copy did not end after OK" has_ended "$second_pid"
status=0
wait "$second_pid" || status=$?
[ "$status" -eq 0 ] || fail "the second copy ended with $status"
has_window "$FUMILINK_TITLE_PATTERN" || fail "the first copy's window went away"

# The analyser goes away: the poll loop reports it, "Was ist zu tun?" (44,12, 197 x 29)
# appears in place of the identification and opens the help window.
stop_sim
help_open() {
  click_button "$main_window" BtWastun
  sleep 0.3
  has_window '^Was ist zu tun'
}
wait_for 60 "no help window after the analyser went away" help_open
help_window=$(window_of '^Was ist zu tun')
/usr/bin/import -window "$help_window" "$out/windows-help.png"
# "OK" (80 x 25, centred, 8 pixels into the 41-pixel panel at the bottom) hides it.
eval "$(xdotool getwindowgeometry --shell "$help_window")"
xdotool mousemove --window "$help_window" $((WIDTH / 2)) $((HEIGHT - 41 + 20)) click 1
help_closed() { ! has_window '^Was ist zu tun'; }
wait_for 30 "'OK' did not close the help window" help_closed
# "Abbrechen" (248,12, 93 x 29) ends the program without a transfer file.
click_button "$main_window" BTBreak
wait_for 60 "the program did not end after 'Abbrechen'" has_ended "$again_pid"
status=0
wait "$again_pid" || status=$?
[ "$status" -eq 0 ] || fail "fumilink.exe ended with $status after 'Abbrechen'"

echo "Windows program end to end under Wine: passed (screenshots in $out)"
