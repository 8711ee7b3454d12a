#!/usr/bin/env bash
# Two copies of the program started within 50 ms of each other, as two calling programs may
# start it at almost the same moment, on a virtual X server without a window manager: the first copy's
# window appears after the second copy's box "Programm läuft schon auf diesem
# Arbeitsplatz!", and the box must still stand in front of it, or the user sees nothing
# happen. Checked from outside, in the X server's stacking order (xwininfo lists the root
# window's children from the top down), once both windows are there and again after the
# first copy has had every chance to come up on top.
#
# Usage: second_copy_in_front_e2e.sh FUMILINK   (needs Xvfb, xdotool, xwininfo)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/x-session.sh
source "$here/../../scripts/lib/x-session.sh"
program=$(realpath "${1:?the fumilink program of the build}")
use_version_of "$program"

work=$(mktemp -d /tmp/fumilink-second-copy-XXXXXX)
pids=()
cleanup() {
  local status=$? pid
  [ "$status" -eq 0 ] || keep_evidence "$work" "$status"
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
x_failure_file=$work/failures
trap cleanup EXIT
start_xvfb "$work" 1024x768
pids+=("$XVFB_PID")
# A folder of its own: the copies find no port there, keep their lock there and their
# settings beside themselves.
mkdir -p "$work/app" "$work/ports" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$work/app/fumilink"

start_copy() {
  (cd "$work" && exec env -u FUMILINK_MESSAGE_BOXES -u FUMILINK_DEMO QT_QPA_PLATFORM=xcb \
    LANG=de_DE.UTF-8 LC_ALL= FUMILINK_PORT_DIR="$work/ports" XDG_RUNTIME_DIR="$work/runtime" \
    "$work/app/fumilink" "Kunde" /ART=14 "$work/out.csv") 2>> "$work/stderr" &
  pids+=("$!")
}


# One round: both copies back to back, well within 50 ms; whichever takes the guard first is
# the first copy, and the other's box, which needs less start-up than the first copy's
# window, mostly comes up before it. Then OK ends the second copy with 0 (a click gives the
# box the keyboard, Return presses its only button), and the first copy is ended.
#   two_copies ROUND [SECONDS TO LOOK AGAIN]
two_copies() {
  local round=$1 again=${2:-} first second status=0
  rm -f "$work/stderr"
  start_copy
  start_copy
  wait_for 30 "round $round: the first copy's window did not appear" has_window "$FUMILINK_TITLE_PATTERN"
  main=$(window_of "$FUMILINK_TITLE_PATTERN")
  wait_for 30 "round $round: the second copy showed no box" has_window '^fumilink$'
  box=$(window_of '^fumilink$')
  first=$(xdotool getwindowpid "$main")
  second=$(xdotool getwindowpid "$box")
  grep -q 'Programm läuft schon auf diesem Arbeitsplatz!' "$work/stderr" ||
    x_fail "round $round: the second copy did not say that the first runs: $(cat "$work/stderr")"
  # Until the first copy's window has drawn itself and searched its (empty) port list.
  sleep 1
  in_front "$box" "$main" || x_fail "round $round: the box lies behind the first copy's window: $(xwininfo -root -children | grep -i fumilink)"
  if [ -n "$again" ]; then
    sleep "$again"
    in_front "$box" "$main" || x_fail "round $round: the box went behind the first copy's window later"
  fi
  xdotool mousemove --window "$box" 20 20 click 1
  xdotool key Return
  wait_for 20 "round $round: the second copy did not end after OK" has_ended "$second"
  wait "$second" || status=$?
  [ "$status" -eq 0 ] || x_fail "round $round: the second copy ended with $status"
  has_window "$FUMILINK_TITLE_PATTERN" || x_fail "round $round: the first copy's window went away"
  kill "$first"
  wait "$first" 2> /dev/null || true
  wait_for 20 "round $round: the first copy did not end" has_ended "$first"
}

# The race goes either way from one start to the next: three rounds, the first one looked at
# again some seconds later.
two_copies 1 5
two_copies 2
two_copies 3
echo "the second copy's box stood in front of the first copy's window in every round"
