#!/usr/bin/env bash
# fumilink.exe under Wine with Qt's UI Automation in it: the program starts, and its main
# window's UI Automation element, read from another Windows program through the flat
# client calls Wine implements (tests/wine/uia_window.cpp), is Qt's: control type Window,
# framework "Qt", named by its title. Once asked, Qt's accessibility is active in the
# program for good; the program must go on working with it: it finds the analyser
# (fumilink-sim on COM5), shows live values while the element is read again, and
# "Daten übernehmen" writes the transfer file and ends it with 0.
# What Wine cannot show: it has no COM client of UI Automation (CUIAutomation), and
# reaching the elements below the window does not return under Wine 8 (uia_window.cpp
# says why), so the controls' names, the picture's Invoke, Narrator and the touch
# keyboard can be tried on real Windows only (on Linux tests/ui/atspi_e2e.sh reads them).
#
# Usage: accessibility_e2e.sh FUMILINK_EXE FUMILINK_SIM
#   FUMILINK_SIM comes from the Linux build. Needs wine, Xvfb, xdotool and MinGW-w64.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
use_simulator "${2:?fumilink-sim of the Linux build}"

start_wine_session a11y
use_own_runtime_folder

step "the UI Automation reader, built with MinGW-w64"
mkdir -p "$work/windows-start"
chmod 755 "$work/windows-start"
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -static -s -municode \
  -o "$work/windows-start/uia_window.exe" "$here/uia_window.cpp" -loleaut32 -lole32 ||
  fail "could not build uia_window.exe"

step "Wine prefix with COM5 mapped to the simulator's port"
ports=$work/ports
make_wine_prefix "COM5=$ports/COM5"
keep_listed_ports COM5
start_sim "$ports" "$work/sim.log" --port 5

run=$work/run
install_program "$run"
transfer=$(winepath -w "$run/data.csv" 2> /dev/null)
start_program "$run" "$work/stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" fumilink.exe "Kunde" /ART=14 "$transfer"
window=$(main_window)

# read_element WHEN: the window's element as Qt describes it.
read_element() {
  local element
  element=$(as_user wine "$work/windows-start/uia_window.exe" "$FUMILINK_WINDOW_TITLE" \
    2> "$work/uia.stderr" | tr -d '\r') ||
    fail "$1: uia_window.exe could not read the window: $(tr -d '\r' < "$work/uia.stderr")"
  echo "   $element"
  [ "$element" = "50032 Qt \"$FUMILINK_WINDOW_TITLE\"" ] ||
    fail "$1: the window's element is not Qt's window named by its title (no accessibility?)"
}

step "the window's UI Automation element while the search runs"
read_element "searching"

step "live values, the element read again, take-over"
wait_for_live_values "$work/sim.log"
read_element "online"
end_by_button "$window" BtExit "$program_pid"
[ -s "$run/data.csv" ] || fail "no transfer file: $(cat "$work/stderr")"
echo "fumilink.exe with UI Automation: its window read as Qt's, the program works on"
