# Shared by the scripts that drive Fumilink's windows on a virtual X server (the headless
# demo, the package check, the Wine end-to-end runs). Source it; it defines functions only.
#
# Positions are the designed client coordinates (96 dots per inch) of the main window's
# buttons, each the middle of the button: a click there presses it.
#   BtExit   "Daten übernehmen" 344,12 165 x 29
#   BTBreak  "Abbrechen"        248,12  93 x 29
#   BtWastun "Was ist zu tun?"   44,12 197 x 29
declare -A FUMILINK_BUTTON_AT=([BtExit]="426 26" [BTBreak]="294 26" [BtWastun]="142 26")

# shellcheck source=evidence.sh
source "$(dirname "${BASH_SOURCE[0]}")/evidence.sh"

# A file that collects the FAIL lines for keep_evidence; a failure inside $(...) reaches
# it too. Empty: none.
x_failure_file=
x_fail() {
  echo "FAIL: $*" >&2
  [ -z "$x_failure_file" ] || echo "FAIL: $*" >> "$x_failure_file"
  exit 1
}

# The title of the main window as the build made it, read from the fumilink-version.sh the
# build writes beside the program (FUMILINK_VERSION_FILE names another one, e.g. for an
# unpacked package). Sets FUMILINK_WINDOW_TITLE and FUMILINK_TITLE_PATTERN, the title as
# an anchored regular expression for xdotool; it also matches the title of a demo (the
# analyser simulator inside the program, FUMILINK_DEMO), which ends in " - DEMO".
#   use_version_of PROGRAM
use_version_of() {
  local file=${FUMILINK_VERSION_FILE:-$(dirname "$1")/fumilink-version.sh}
  [ -f "$file" ] || x_fail "no $file: the build writes it beside the program"
  # shellcheck source=/dev/null
  source "$file"
  [ -n "${FUMILINK_WINDOW_TITLE:-}" ] || x_fail "$file names no window title"
  FUMILINK_TITLE_PATTERN="^$(printf '%s' "$FUMILINK_WINDOW_TITLE" | sed 's/[][\\.*^$+?(){}|]/\\&/g')( - DEMO)?\$"
}

# Runs COMMAND... every 0.2 s until it succeeds; fails with WHAT after SECONDS.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || x_fail "$what (waited ${seconds} s)"
    sleep 0.2
  done
}

# The first visible window whose title matches the regular expression, or nothing.
window_of() { xdotool search --onlyvisible --name "$1" 2> /dev/null | head -n 1; }
has_window() { [ -n "$(window_of "$1")" ]; }
# A process has ended (the argument is its pid).
has_ended() { ! kill -0 "$1" 2> /dev/null; }
# ended_within SECONDS PID: the process ended within that time.
ended_within() {
  local deadline=$((SECONDS + $1))
  until has_ended "$2"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The place of window WINDOW (decimal id) in the X server's stacking order, 0 at the top
# (xwininfo lists the root window's children from the top down); nothing when it is none.
stacking_place() {
  xwininfo -root -children |
    awk -v id="$(printf '0x%x' "$1")" '($1 "") == (id "") { print n + 0; exit } $1 ~ /^0x/ { n++ }'
}
# in_front BOX WINDOW: BOX lies above WINDOW.
in_front() {
  local box_place main_place
  box_place=$(stacking_place "$1")
  main_place=$(stacking_place "$2")
  [ -n "$box_place" ] && [ -n "$main_place" ] && [ "$box_place" -lt "$main_place" ]
}

# Presses a button of the main window: click_button WINDOW BtExit|BTBreak|BtWastun
click_button() {
  local at=${FUMILINK_BUTTON_AT[$2]:?unknown button $2}
  # shellcheck disable=SC2086  # "x y"
  xdotool mousemove --window "$1" $at click 1
}

# Starts a virtual X server of our own and exports DISPLAY. The server must not reset when
# its last client leaves: a program connecting at that moment would fail.
# start_xvfb WORK_FOLDER [WIDTHxHEIGHT]; the server's pid is left in XVFB_PID.
start_xvfb() {
  local work=$1 size=${2:-1280x1024} display tries=0
  while :; do
    display=$(fresh_display_number)
    rm -f "$work/display"
    Xvfb ":$display" -displayfd 3 -noreset -screen 0 "${size}x24" -nolisten tcp \
      3> "$work/display" 2> "$work/xvfb.log" &
    XVFB_PID=$!
    until [ -s "$work/display" ] || has_ended "$XVFB_PID"; do sleep 0.1; done
    [ -s "$work/display" ] && break
    # Taken meanwhile by a server our lock check cannot see (another user's, say).
    wait "$XVFB_PID" 2> /dev/null || true
    tries=$((tries + 1))
    [ "$tries" -lt 20 ] || x_fail "the virtual X server did not start: $(tail -n 3 "$work/xvfb.log")"
  done
  export DISPLAY=":$display"
}

# A display number that no X server holds and none of our sessions had last: the numbers
# 100 to 899 in turn, the last one given kept in /tmp/fumilink-x-display (under a lock, so
# that sessions started together get different ones). Xvfb itself would take the lowest
# free number, the one a session before has just let go: a program of that session still
# starting (one of an interrupted run, say) would then come up on ours.
fresh_display_number() {
  local counter=/tmp/fumilink-x-display lock='' last n tries
  if exec {lock}>> "$counter.lock"; then flock "$lock" || true; fi
  last=$(cat "$counter" 2> /dev/null || true)
  [[ $last =~ ^[0-9]+$ ]] || last=$((100 + $$ % 800))
  n=$last
  for ((tries = 0; tries < 800; tries++)); do
    n=$((n >= 899 ? 100 : n + 1))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  echo "$n" > "$counter" 2> /dev/null || true
  chmod a+rw "$counter" "$counter.lock" 2> /dev/null || true
  [ -z "${lock:-}" ] || exec {lock}>&-
  echo "$n"
}

# The first data line turns the connection picture's badge green (picture 3) and enables
# "Daten übernehmen" at the same moment; (18, 18) lies on the badge, off its white rune.
badge_is_green() {
  local rgb r g b
  rgb=$(/usr/bin/import -window "$1" -crop 1x1+18+18 txt:- 2> /dev/null |
    grep -o 'srgba\?([0-9]*,[0-9]*,[0-9]*' | head -n 1 | tr -dc '0-9,')
  IFS=, read -r r g b <<< "$rgb"
  [ -n "${b:-}" ] && [ "$r" -lt 90 ] && [ "$g" -gt 120 ] && [ "$b" -lt 90 ]
}
