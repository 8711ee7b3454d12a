# shellcheck shell=bash
# Shared by the scripts that run fumilink.exe under Wine against fumilink-sim on a virtual X
# server (tests/wine/*_e2e.sh, tests/wine/help_window_keys.sh,
# bench/wine_program_costs.sh) and by tests/wine/wine-prefix.sh. Source it; it sources
# x-session.sh (the X server, waits, windows, buttons) and defines functions only.
#
# The functions keep a session's state in a few variables the scripts read:
#   work          the session's own temporary folder, removed at exit
#   session_user  a command prefix that runs a command as the user Wine runs as, in the same
#                 process (empty: ourselves; a script running as root sets it)
#   fumilink_exe  the Windows program under test (use_windows_program)
#   sim_pid       the simulator started last; program_pid the program started last
#   windows_start the command that starts a Windows program with the environment Windows
#                 gives it (start_wine_session builds it): "${windows_start[@]}" fumilink.exe

# shellcheck source=x-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/x-session.sh"
wine_session_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine" && pwd)

session_user=()
background=()
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
declare -A FUMILINK_BUTTON_LABEL=(
  [BtExit]="Daten übernehmen" [BTBreak]="Abbrechen" [BtWastun]="Was ist zu tun?")

step() { echo "-- $*"; }
fail() { x_fail "$@"; }
as_user() { "${session_user[@]}" "$@"; }
file_has() { [ -f "$1" ] && grep -q -a -- "$2" "$1"; }

# wine_could_not_start OUTPUT_FILE: what a start through Wine printed (standard output and
# error) says that Wine failed to create the process, before the program ran (its start
# fails now and then with "ShellExecuteEx failed: Internal error"); prints that line. A
# program that ran and ended with an error is no such case.
wine_could_not_start() {
  tr -d '\r' < "$1" 2> /dev/null | grep -a -m 1 'ShellExecuteEx failed'
}

# Has PID killed (when it still runs) and reaped when the script exits.
stop_at_exit() { background+=("$1"); }

# Stops the server of WINEPREFIX and waits until it has gone (it writes the registry then).
stop_wine_server() {
  as_user wineserver -k > /dev/null 2>&1 || true
  as_user wineserver -w > /dev/null 2>&1 || true
}

# At exit; a failed run first keeps its evidence (keep_evidence), while the program, its
# Wine processes and the X server are still as they were at the failure.
end_wine_session() {
  local status=$? pid
  [ "$status" -eq 0 ] || keep_evidence "$work" "$status"
  for pid in "${background[@]}"; do kill "$pid" 2> /dev/null || true; done
  stop_wine_server
  for pid in "${background[@]}"; do wait "$pid" 2> /dev/null || true; done
  chmod -R u+w "$work" 2> /dev/null || true
  rm -rf "$work"
}

# start_wine_session KIND: a folder of its own (/tmp/fumilink-wine-KIND-*) in $work, removed
# at exit with every process handed to stop_at_exit, its evidence kept first when the
# script fails; the prefix $work/prefix (made by
# make_wine_prefix); a virtual X server of its own (1280 x 1024: the help window's designed
# place, 490,297 with 600 x 409, needs more than 1024 x 768); windows_start.
start_wine_session() {
  end_abandoned_sessions
  work=$(mktemp -d "/tmp/fumilink-wine-${1:?kind of session}-XXXXXX")
  echo "$$ $wine_session_tools" > "$work/owner"
  # shellcheck disable=SC2034  # x_fail writes to it
  x_failure_file=$work/failures
  trap end_wine_session EXIT
  # Wine follows the Unix locale for its own settings and for file names: one locale for
  # every Wine call, so that what is written into its registry stays as written.
  export LANG=C.UTF-8
  unset LC_ALL LC_MESSAGES
  export WINEPREFIX=$work/prefix WINEDEBUG=-all
  start_xvfb "$work" 1280x1024
  echo "$XVFB_PID" > "$work/xvfb.pid"
  stop_at_exit "$XVFB_PID"
  build_windows_start
}

# The sessions of this source tree whose script has gone without ending them (killed, or
# the machine's run stopped): their Wine servers are stopped, as the user that owns each
# prefix, and waited for, their X servers ended and their folders removed. A session still
# running (its script lives) and those of other trees are left alone.
end_abandoned_sessions() {
  local folder owner tree prefix xvfb
  for folder in /tmp/fumilink-wine-*; do
    [ -f "$folder/owner" ] && [ -O "$folder" ] || continue
    read -r owner tree < "$folder/owner" || continue
    [ "$tree" = "$wine_session_tools" ] && [[ $owner =~ ^[0-9]+$ ]] || continue
    # A zombie has ended too: its parent has only not yet collected it.
    [[ $(ps -o stat= -p "$owner" 2> /dev/null) != [^Z]* ]] || continue
    echo "-- ending the Wine session $folder, left by the run before (process $owner)" >&2
    while IFS= read -r prefix; do
      prefix=$(dirname "$prefix")
      setpriv --reuid="$(stat -c %u "$prefix")" --regid="$(stat -c %g "$prefix")" --clear-groups \
        env WINEPREFIX="$prefix" sh -c 'wineserver -k; wineserver -w' > /dev/null 2>&1 || true
    done < <(find "$folder" -maxdepth 3 -name system.reg 2> /dev/null)
    xvfb=$(cat "$folder/xvfb.pid" 2> /dev/null || true)
    if [[ $xvfb =~ ^[0-9]+$ ]] && [ "$(ps -o comm= -p "$xvfb" 2> /dev/null)" = Xvfb ]; then
      kill "$xvfb" 2> /dev/null || true
    fi
    chmod -R u+w "$folder" 2> /dev/null || true
    rm -rf "$folder"
  done
}

# windows_tool NAME [FLAG ...]: builds tests/wine/NAME.cpp with MinGW-w64 into a folder of
# the session that every user of it may read, and prints the program's path.
windows_tool() {
  local name=$1 folder=$work/windows-tools
  shift
  mkdir -p "$folder"
  x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -static -s "$@" \
    -o "$folder/$name.exe" "$wine_session_tools/$name.cpp" >&2 ||
    x_fail "could not build $name.exe (is g++-mingw-w64-x86-64-posix installed?)"
  chmod 755 "$folder" "$folder/$name.exe"
  echo "$folder/$name.exe"
}

# Wine copies the Unix environment into the Windows one, so a program started by a plain
# "wine PROGRAM" sees DISPLAY, XDG_* and the like, which Windows never gives it; code that
# reads them would pass here and fail on Windows. Every run of the program under test
# therefore goes through start_as_windows.exe (tests/wine/start_as_windows.cpp).
build_windows_start() {
  local program
  program=$(windows_tool start_as_windows) || exit 1
  windows_start=(wine "$program")
}

# What a program started by windows_start finds in its environment of what Windows never
# has; empty when the start works as it should.
unix_variables_seen() {
  as_user "${windows_start[@]}" cmd /c set 2> /dev/null | tr -d '\r' |
    grep -i -E '^(DISPLAY|WAYLAND_DISPLAY|QT_[^=]*|XDG_[^=]*)=' || true
}

# The Linux program keeps its single-instance lock in XDG_RUNTIME_DIR: one of the session's.
use_own_runtime_folder() {
  export XDG_RUNTIME_DIR=$work/runtime
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# use_windows_program FUMILINK_EXE: the program under test, and its window title as the
# build made it (use_version_of).
use_windows_program() {
  fumilink_exe=$(realpath "${1:?fumilink.exe}")
  use_version_of "$fumilink_exe"
}

# install_program FOLDER: a copy of the program under test as FOLDER/fumilink.exe.
install_program() {
  mkdir -p "$1"
  cp "$fumilink_exe" "$1/fumilink.exe"
}

# make_wine_prefix [COM<n>=PATH ...]: the session's prefix with these ports mapped, and a
# persistent server for the rest of the session (its errors in $work/wineserver.log). The
# port list in SERIALCOMM is volatile: Wine's device manager fills it anew whenever it
# starts, so only a server that stays keeps an edit of it.
# shellcheck disable=SC2120  # its arguments are optional
make_wine_prefix() {
  as_user "$wine_session_tools/wine-prefix.sh" create "$WINEPREFIX" "$@"
  as_user wineserver -p 2> "$work/wineserver.log"
  local seen
  seen=$(unix_variables_seen)
  [ -z "$seen" ] || x_fail "windows_start hands on Unix variables: $(paste -sd ' ' <<< "$seen")"
}

# The ports SERIALCOMM lists, a line "VALUE=PORT" each, in the registry's order (which is
# the search's order).
listed_ports() {
  as_user wine reg query "$serialcomm" 2> /dev/null | tr -d '\r' |
    awk '$2 == "REG_SZ" { print $1 "=" $3 }'
}

# list_port VALUE PORT: SERIALCOMM lists PORT under the value name VALUE.
list_port() {
  as_user wine reg add "$serialcomm" /v "$1" /d "$2" /f > /dev/null 2>&1 ||
    x_fail "could not list $2 as $1"
}

# keep_listed_ports [COM<n> ...]: only these ports stay in SERIALCOMM. Wine gives every
# /dev/ttyS* of this machine a COM number too, and a search must not write to a real
# console port. Fails unless exactly these ports remain.
# shellcheck disable=SC2120  # its arguments are optional
keep_listed_ports() {
  local keep=" $* " value port listed all
  # Each Wine command that fails says so: inside a pipeline's loop a failure used to end
  # the script with status 1 and no word of what failed.
  all=$(listed_ports) || x_fail "could not read the port list (wine reg query failed)"
  while IFS='=' read -r value port; do
    [ -n "$value" ] && [[ $keep != *" $port "* ]] || continue
    as_user wine reg delete "$serialcomm" /v "$value" /f > "$work/reg-delete.log" 2>&1 ||
      x_fail "could not take $port ($value) off the port list: $(tr -d '\r' < "$work/reg-delete.log")"
  done <<< "$all"
  listed=$(listed_ports | cut -d= -f2- | sort | paste -sd ' ') ||
    x_fail "could not read the port list again (wine reg query failed)"
  [ "$listed" = "$(printf '%s\n' "$@" | sort | paste -sd ' ')" ] ||
    x_fail "port list is '$listed', not '$*'"
}

# use_simulator FUMILINK_SIM: the simulator of the Linux build that start_sim runs.
use_simulator() {
  sim_program=$(realpath "${1:?fumilink-sim of the Linux build}")
  [ -x "$sim_program" ] || x_fail "no simulator at $sim_program"
}

# start_sim PORT_DIR LOG [OPTION ...]: the simulator as the session's user, steady values,
# its ports in PORT_DIR, every line it sends in LOG; returns once its ports are there
# (sim_pid). LOG's folder must be the user's: the ready file goes beside it.
start_sim() {
  local ports=$1 log=$2
  shift 2
  rm -f "$log.ready"
  "${session_user[@]}" "$sim_program" --port-dir "$ports" --steady --log "$log" --log-sent \
    --ready-file "$log.ready" "$@" > /dev/null &
  sim_pid=$!
  stop_at_exit "$sim_pid"
  wait_for 20 "the simulator did not start (no $log.ready)" test -s "$log.ready"
}
stop_sim() {
  kill "$sim_pid" 2> /dev/null || true
  wait "$sim_pid" 2> /dev/null || true
}

# Data lines the simulator has written so far (its --log-sent lines); 0 before the first.
lines_sent() { sed -n 's/.* SENT \([0-9]*\) .*/\1/p' "$1" 2> /dev/null | tail -n 1 | grep . || echo 0; }
# sent_at_least LOG N
sent_at_least() { [ "$(lines_sent "$1")" -ge "$2" ]; }

# wait_for_live_values LOG [WHO]: the stream has started and three more cycles are
# written: the first two have been in the port for a second or more, ten of the program's
# 100 ms poll ticks, so the window shows them.
wait_for_live_values() {
  local log=$1 who=${2:+$2: } start
  wait_for 60 "${who}the stream did not start (no analyser found)" file_has "$log" 'STREAM start'
  start=$(lines_sent "$log")
  wait_for 60 "${who}the simulator did not stream" sent_at_least "$log" $((start + 39))
}

# start_program FOLDER ERRORS COMMAND...: COMMAND in FOLDER as the session's user, in the
# background (program_pid), its standard error into the file ERRORS.
start_program() {
  local folder=$1 errors=$2
  shift 2
  (cd "$folder" && exec "${session_user[@]}" "$@") 2> "$errors" &
  program_pid=$!
  stop_at_exit "$program_pid"
}

# Waits for the main window and prints its id: main_window [WHO]
# shellcheck disable=SC2120  # its arguments are optional
main_window() {
  wait_for 90 "${1:+$1: }the main window did not appear" has_window "$FUMILINK_TITLE_PATTERN"
  window_of "$FUMILINK_TITLE_PATTERN"
}

# end_by_button WINDOW BtExit|BTBreak PID [WHO]: presses the button; the program PID must
# end, and with 0.
end_by_button() {
  local window=$1 button=$2 pid=$3 who=${4:+$4: } status=0
  local label=${FUMILINK_BUTTON_LABEL[$button]:?unknown button $button}
  click_button "$window" "$button"
  wait_for 60 "${who}the program did not end after '$label'" has_ended "$pid"
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || x_fail "${who}the program ended with $status after '$label'"
}

# The help window "Was ist zu tun?", shown or not.
HELP_TITLE_PATTERN='^Was ist zu tun'
help_is_hidden() { ! has_window "$HELP_TITLE_PATTERN"; }
# help_opens_from MAIN_WINDOW: presses "Was ist zu tun?" (shown only once the analyser is
# missing) and tells whether the help window appeared.
help_opens_from() {
  click_button "$1" BtWastun
  sleep 0.3
  has_window "$HELP_TITLE_PATTERN"
}
