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
#      Both windows show the executable's icon.
# Before them, --version and --help alone answer in a message box and on standard output
# and end with 0. Every run starts as Windows starts a program: without DISPLAY,
# WAYLAND_DISPLAY, QT_* and XDG_* in its environment (windows_start).
# Screenshots: OUT/windows-main.png, OUT/windows-help.png, OUT/windows-second-copy.png.
#
# Usage: program_e2e.sh FUMILINK_EXE FUMILINK_SIM LINUX_FUMILINK [OUT]
#   FUMILINK_SIM and LINUX_FUMILINK come from the Linux build. Needs wine, Xvfb, xdotool,
#   ImageMagick's import.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
use_simulator "${2:?fumilink-sim of the Linux build}"
linux_program=$(realpath "${3:?fumilink of the Linux build}")
out=$(realpath -m "${4:-out}")
mkdir -p "$out"

start_wine_session e2e
use_own_runtime_folder

step "Wine prefix with COM3 and COM5 mapped to the simulator's ports"
ports=$work/ports
make_wine_prefix "COM3=$ports/COM3" "COM5=$ports/COM5"
wine reg add 'HKCU\Control Panel\International' /v Locale /d 00000407 /f > /dev/null 2>&1
keep_listed_ports COM3 COM5

# start_sim PORT_DIR LOG: the analyser on COM5, COM3 a dead port.
start_analyser() { start_sim "$1" "$2" --port 5 --dead-port 3; }

# Runs a program against the simulator until live values have been shown, then takes a
# screenshot (when asked) and presses "Daten übernehmen": the program ends with 0.
# take_over PID SIM_LOG [SCREENSHOT]
take_over() {
  local pid=$1 log=$2 shot=${3:-} window
  window=$(main_window)
  # The designed client area at 96 dots per inch (the virtual screen's).
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
  [ "${WIDTH}x${HEIGHT}" = 515x286 ] || fail "the window is ${WIDTH}x${HEIGHT}, not 515x286"
  wait_for_live_values "$log"
  if [ -n "$shot" ]; then
    /usr/bin/import -window "$window" "$shot"
  fi
  end_by_button "$window" BtExit "$pid"
}

# close_box PATTERN PID WHAT: the program PID shows a message box titled PATTERN; a click
# into it gives it the keyboard (Xvfb has no window manager), Return presses its only
# button, and the program must end with 0.
close_box() {
  local box status=0
  wait_for 60 "$3 showed no message box" has_window "$1"
  box=$(window_of "$1")
  xdotool mousemove --window "$box" 20 20 click 1
  xdotool key --window "$box" Return 2> /dev/null  # (Xvfb without a window manager: a note)
  wait_for 30 "$3 did not end after OK" has_ended "$2"
  wait "$2" || status=$?
  [ "$status" -eq 0 ] || fail "$3 ended with $status"
}

# icon_difference WINDOW: how far the 32 x 32 icon that WINDOW shows (_NET_WM_ICON, which
# Wine's X11 driver fills from the window's icon) lies from the 32 x 32 image of the
# executable's icon file: the share in per cent of the pixels drawn in either whose alpha
# or premultiplied colour differ by more than 32 of 255 (100 without such an icon).
icon_file=$here/../../app/windows/fumilink.ico
icon_difference() {
  local index
  index=$(identify "$icon_file" | awk '$3 == "32x32" { sub(/.*\[/, "", $1); sub(/\].*/, "", $1); print $1; exit }')
  {
    /usr/bin/convert "${icon_file}[$index]" -depth 8 txt:- |
      sed -n 's/^\([0-9]*\),\([0-9]*\): (\([0-9]*\),\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/ref \1 \2 \3 \4 \5 \6/p'
    # Icons of the property in turn: width, height, then ARGB values row by row.
    xprop -id "$1" -notype 32c _NET_WM_ICON 2> /dev/null | awk -F', *' '{
      sub(/^[^=]*= */, "")
      n = split($0, v, /, */)
      for (i = 1; i + 1 <= n; i += 2 + v[i] * v[i + 1]) {
        if (v[i] != 32 || v[i + 1] != 32) continue
        for (p = 0; p < 1024; p++) {
          c = v[i + 2 + p]
          printf "got %d %d %d %d %d %d\n", p % 32, int(p / 32), int(c / 65536) % 256,
            int(c / 256) % 256, c % 256, int(c / 16777216) % 256
        }
        exit
      }
    }'
  } | awk 'function abs(x) { return x < 0 ? -x : x }
    { key = $2 "," $3; value = $4 " " $5 " " $6 " " $7 }
    $1 == "ref" { ref[key] = value }
    $1 == "got" { got[key] = value }
    END {
      for (key in ref) {
        if (!(key in got)) { print 100; exit }
        split(ref[key], a, " "); split(got[key], b, " ")
        if (a[4] == 0 && b[4] == 0) continue
        shown++
        far = abs(a[4] - b[4]) > 32
        for (c = 1; c <= 3; c++) far = far || abs(a[c] * a[4] - b[c] * b[4]) / 255 > 32
        differing += far
      }
      printf "%d\n", shown ? 100 * differing / shown : 100
    }'
}
# has_program_icon WINDOW WHAT: the window shows the executable's icon, not Wine's generic
# one (which Qt's window class falls back to without an icon of its own).
has_program_icon() {
  local difference
  difference=$(icon_difference "$1")
  echo "$2: $difference % of its icon's pixels differ from fumilink.ico"
  [ "$difference" -le 5 ] || fail "$2 does not show the program's icon"
}

step "--version and --help alone: a message box and standard output, exit code 0"
info=$work/info
install_program "$info"
start_program "$info" "$work/version.stderr" "${windows_start[@]}" fumilink.exe --version \
  > "$work/version.stdout"
close_box '^Fumilink$' "$program_pid" "--version"
[ "$(tr -d '\r' < "$work/version.stdout")" = "fumilink $FUMILINK_VERSION" ] ||
  fail "--version printed '$(cat "$work/version.stdout")'"
start_program "$info" "$work/help.stderr" "${windows_start[@]}" fumilink.exe --help \
  > "$work/help.stdout"
close_box '^Fumilink$' "$program_pid" "--help"
# Windows ends the lines in CR LF.
grep -q '^Usage: fumilink \[--demo\[=OPTIONS\]\] \[--mean=SECONDS\]$' \
  <(tr -d '\r' < "$work/help.stdout") ||
  fail "--help printed '$(head -n 3 "$work/help.stdout")'"

step "Linux program against the simulator: the transfer file to compare with"
mkdir -p "$work/linux" "$work/linux-ports"
cp "$linux_program" "$work/linux/fumilink"
start_analyser "$work/linux-ports" "$work/sim-linux.log"
start_program "$work/linux" "$work/linux.stderr" env FUMILINK_PORT_DIR="$work/linux-ports" \
  FUMILINK_MESSAGE_BOXES=stderr QT_QPA_PLATFORM=xcb ./fumilink "DEMO Heizung Müller" /ART=14 \
  "$work/linux/data.csv"
take_over "$program_pid" "$work/sim-linux.log"
stop_sim
[ -s "$work/linux/data.csv" ] || fail "the Linux program wrote no transfer file"

step "fumilink.exe, no settings file: search, live values, take-over"
run=$work/run
install_program "$run"
start_analyser "$ports" "$work/sim-first.log"
transfer=$(winepath -w "$run/data.csv" 2> /dev/null)
start_program "$run" "$work/first.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" fumilink.exe "DEMO Heizung Müller" /ART=14 "$transfer"
take_over "$program_pid" "$work/sim-first.log" "$out/windows-main.png"
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
start_analyser "$ports" "$work/sim-again.log"
start_program "$run" "$work/again.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" fumilink.exe
again_pid=$program_pid
main_window=$(main_window)
has_program_icon "$main_window" "the main window"
wait_for 60 "the remembered port was not used" file_has "$work/sim-again.log" 'STREAM start'
! grep -q 'COM3 RX' "$work/sim-again.log" || fail "the remembered-port start wrote to COM3"

# The second copy shows a real message box, titled after the executable, also with no
# DISPLAY in its environment (windows_start: as on Windows).
start_program "$run" "$work/second.stderr" "${windows_start[@]}" fumilink.exe
second_pid=$program_pid
wait_for 60 "the second copy showed no message box" has_window '^fumilink$'
/usr/bin/import -window "$(window_of '^fumilink$')" "$out/windows-second-copy.png"
expected=$(printf 'Programm l\344uft schon auf diesem Arbeitsplatz!')
grep -q -a -F "$expected" "$work/second.stderr" ||
  fail "the second copy did not say '$(iconv -f WINDOWS-1252 -t UTF-8 <<< "$expected")': $(iconv -f WINDOWS-1252 -t UTF-8 "$work/second.stderr" | head -c 300)"
close_box '^fumilink$' "$second_pid" "the second copy"
has_window "$FUMILINK_TITLE_PATTERN" || fail "the first copy's window went away"

# The analyser goes away: the poll loop reports it, "Was ist zu tun?" (44,12, 197 x 29)
# appears in place of the identification and opens the help window.
stop_sim
wait_for 60 "no help window after the analyser went away" help_opens_from "$main_window"
help_window=$(window_of "$HELP_TITLE_PATTERN")
/usr/bin/import -window "$help_window" "$out/windows-help.png"
has_program_icon "$help_window" "the help window"
# "OK" (80 x 25, centred, 8 pixels into the 41-pixel panel at the bottom) hides it.
eval "$(xdotool getwindowgeometry --shell "$help_window")"
xdotool mousemove --window "$help_window" $((WIDTH / 2)) $((HEIGHT - 41 + 20)) click 1
wait_for 30 "'OK' did not close the help window" help_is_hidden
# "Abbrechen" (248,12, 93 x 29) ends the program without a transfer file.
end_by_button "$main_window" BTBreak "$again_pid"

echo "Windows program end to end under Wine: passed (screenshots in $out)"
