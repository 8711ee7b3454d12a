#!/usr/bin/env bash
# fumilink.exe under Wine: the help window answers the keyboard as a Windows window of its
# kind does. No port is listed, so the search fails and "Was ist zu tun?" appears; it
# opens the help window with "OK" focused, so Return closes it; Escape closes it from
# "OK" and from the page view.
#
# Usage: help_window_keys.sh FUMILINK_EXE
#   Needs wine, Xvfb and xdotool.
set -euo pipefail
exe=$(realpath "${1:?fumilink.exe}")
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d /tmp/fumilink-wine-help-XXXXXX)
export LANG=C.UTF-8
unset LC_ALL LC_MESSAGES
export WINEPREFIX=$work/prefix WINEDEBUG=-all

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
step() { echo "-- $*"; }

start_xvfb "$work" 1280x1024
background+=("$XVFB_PID")

step "Wine prefix without serial ports"
"$here/wine-prefix.sh" create "$WINEPREFIX"
wineserver -p 2> /dev/null
# Wine gives every /dev/ttyS* of this machine a COM number: none may stay listed, so the
# search fails at once and never writes to a real port.
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
wine reg query "$serialcomm" 2> /dev/null | tr -d '\r' |
  awk '$2 == "REG_SZ" { print $1 }' |
  while read -r value; do
    wine reg delete "$serialcomm" /v "$value" /f > /dev/null 2>&1
  done

run=$work/run
mkdir -p "$run"
cp "$exe" "$run/fumilink.exe"
(cd "$run" && FUMILINK_MESSAGE_BOXES=stderr exec wine fumilink.exe) 2> "$work/stderr" &
pid=$!
background+=("$pid")
wait_for 90 "the main window did not appear" has_window "$FUMILINK_TITLE_PATTERN"
main_window=$(window_of "$FUMILINK_TITLE_PATTERN")

help_shown() { has_window '^Was ist zu tun'; }
help_hidden() { ! help_shown; }
open_help() {
  click_button "$main_window" BtWastun
  sleep 0.3
  help_shown
}
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
wait_for 60 "no help window after the failed search" open_help
click_panel "$(window_of '^Was ist zu tun')"
xdotool key Return
wait_for 10 "Return did not close the help window (OK had no focus)" help_hidden

step "Escape closes it with the focus on OK"
wait_for 30 "the help window did not open again" open_help
click_panel "$(window_of '^Was ist zu tun')"
xdotool key Escape
wait_for 10 "Escape did not close the help window" help_hidden

step "Escape closes it with the focus in the page"
wait_for 30 "the help window did not open again" open_help
click_text "$(window_of '^Was ist zu tun')"
xdotool key Escape
wait_for 10 "Escape did not close the help window from the page view" help_hidden

has_window "$FUMILINK_TITLE_PATTERN" || x_fail "the main window went away"
click_button "$main_window" BTBreak
wait_for 60 "the program did not end after 'Abbrechen'" has_ended "$pid"
echo "help window keys under Wine: passed"
