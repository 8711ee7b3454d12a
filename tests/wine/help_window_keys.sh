#!/usr/bin/env bash
# fumilink.exe under Wine: the help window answers the keyboard as a Windows window of its
# kind does. No port is listed, so the search fails and "Was ist zu tun?" appears; it
# opens the help window with "OK" focused, so Return closes it; Escape closes it from
# "OK" and from the page view.
#
# Usage: help_window_keys.sh FUMILINK_EXE
#   Needs wine, Xvfb and xdotool.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"

start_wine_session help

step "Wine prefix without serial ports"
make_wine_prefix
# No port listed: the search fails at once and never writes to a real port.
keep_listed_ports

run=$work/run
install_program "$run"
start_program "$run" "$work/stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" fumilink.exe
main_window=$(main_window)

# Xvfb has no window manager: a click gives a window the keyboard. The panel at the bottom
# (41 pixels high) takes no focus itself, so a click on it beside "OK" leaves the focus
# where the window put it.
click_panel() {
  local HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$1" | grep '^HEIGHT=')"
  xdotool mousemove --window "$1" 20 $((HEIGHT - 20)) click 1
  sleep 0.3
}
# Clicks into the page view's text, which takes the focus.
click_text() {
  xdotool mousemove --window "$1" 100 60 click 1
  sleep 0.3
}

step "the failed search shows \"Was ist zu tun?\"; Return on the focused OK closes the help"
wait_for 60 "no help window after the failed search" help_opens_from "$main_window"
click_panel "$(window_of "$HELP_TITLE_PATTERN")"
xdotool key Return
wait_for 10 "Return did not close the help window (OK had no focus)" help_is_hidden

step "Escape closes it with the focus on OK"
wait_for 30 "the help window did not open again" help_opens_from "$main_window"
click_panel "$(window_of "$HELP_TITLE_PATTERN")"
xdotool key Escape
wait_for 10 "Escape did not close the help window" help_is_hidden

step "Escape closes it with the focus in the page"
wait_for 30 "the help window did not open again" help_opens_from "$main_window"
click_text "$(window_of "$HELP_TITLE_PATTERN")"
xdotool key Escape
wait_for 10 "Escape did not close the help window from the page view" help_is_hidden

has_window "$FUMILINK_TITLE_PATTERN" || x_fail "the main window went away"
end_by_button "$main_window" BTBreak "$program_pid"
echo "help window keys under Wine: passed"
