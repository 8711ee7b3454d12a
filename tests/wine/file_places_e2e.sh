#!/usr/bin/env bash
# Where fumilink.exe puts its files, under Wine against fumilink-sim on a virtual X server,
# run as an ordinary user (as a technician's Windows account is; Wine maps the Unix
# permissions, so root could write everywhere):
#   1. Installed where the user may not write (a folder of root's, as Program Files is):
#      the search tries COM1 (a port that never answers), then finds COM5; the settings go
#      to %LOCALAPPDATA%\Fumilink\fumilink.ini with comport=5, and debug.log (written for
#      COM1) beside them, as the program's folder is the current one; none of them lands
#      beside the program, and no message box reports a failure.
#   2. Letters outside Windows-1252: the program in "Şahin Łukasz Programm" keeps its
#      fumilink.ini beside itself; the transfer file goes into "Kunden\Şahin Łukasz", not
#      into the look-alike "Kunden\Sahin Lukasz" beside it; the header "Şahin Müller €"
#      arrives in Windows-1252 byte for byte ("?AHIN M\xFCLLER \x80": the S with cedilla
#      has no form there).
#   3. A transfer path of more than 300 characters to an existing folder receives the file.
#   4. A fumilink.ini beside the program that Notepad saved as UTF-8 with a byte-order mark
#      is read (its comport spares COM1 the search, so no debug.log appears; its SO2Key gives
#      the SO2 line) and saved back with its mark and its one [Main] section.
#   5. A transfer file that the calling program keeps open for reading and writing, sharing
#      both but not deletion (hold_file.exe): the measurement is written into it, no message
#      box appears, and nothing else is left in its folder.
#
# Usage: file_places_e2e.sh FUMILINK_EXE FUMILINK_SIM HOLD_FILE_EXE
#   FUMILINK_SIM comes from the Linux build, HOLD_FILE_EXE (tests/config/win32/hold_file.cpp)
#   from the Windows one. Needs wine, Xvfb, xdotool; as root also the
#   user nobody and setpriv.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
use_simulator "${2:?fumilink-sim of the Linux build}"
hold_file_exe=$(realpath "${3:?hold_file.exe of the Windows build}")

# The ordinary user: nobody when we are root, else ourselves (session_user runs a command
# as that user in the same process, so $! of a background run is the command's).
if [ "$(id -u)" -eq 0 ]; then
  user_id=$(id -u nobody)
  group_id=$(id -g nobody)
  session_user=(setpriv --reuid="$user_id" --regid="$group_id" --clear-groups)
  give_to_user() { chown -R "$user_id:$group_id" "$@"; }
  keep_from_user() { chmod 755 "$@"; }
else
  give_to_user() { :; }
  keep_from_user() { chmod 555 "$@"; }
fi

start_wine_session places
chmod 755 "$work"
export HOME=$work/home
export WINEPREFIX=$HOME/prefix
mkdir -p "$HOME" "$work/ports" "$work/logs" "$work/Kunden"
give_to_user "$HOME" "$work/ports" "$work/logs" "$work/Kunden"

# The message boxes a run showed (FUMILINK_MESSAGE_BOXES=stderr makes them lines).
no_message_box() { ! grep -a -E '^(Fehler|Information): ' "$1" >&2; }
# A Unix path as the Windows program names it: Wine's drive Z: is the root folder.
# (winepath cuts its answer at 260 characters.)
windows_path() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }

step "Wine prefix of user $(as_user id -un) with COM1 and COM5 mapped to the simulator's ports"
make_wine_prefix "COM1=$work/ports/COM1" "COM5=$work/ports/COM5"
keep_listed_ports COM1 COM5
# The search tries the ports in the registry's order: COM1 must come first to be opened.
[ "$(listed_ports | head -n 1 | cut -d= -f2)" = COM1 ] ||
  fail "the registry lists $(listed_ports | paste -sd ' '), COM1 not first"

# One run of fumilink.exe from FOLDER until "Daten übernehmen" has ended it:
# take_over NAME FOLDER HEADER TRANSFER_PATH (a Unix path, handed over in Windows form)
take_over() {
  local name=$1 folder=$2 header=$3 transfer log=$work/logs/sim-$1.log window
  transfer=$(windows_path "$4")
  start_sim "$work/ports" "$log" --port 5 --dead-port 1
  start_program "$folder" "$work/logs/$name.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
    "${windows_start[@]}" fumilink.exe "$header" /ART=14 "$transfer"
  window=$(main_window "$name")
  wait_for_live_values "$log" "$name"
  end_by_button "$window" BtExit "$program_pid" "$name"
  stop_sim
  no_message_box "$work/logs/$name.stderr" || fail "$name: a message box reported a failure"
}
settings_bytes=$(printf '[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\n' | od -An -tx1)
settings_are() { [ -f "$1" ] && [ "$(od -An -tx1 < "$1")" = "$settings_bytes" ]; }

step "1. installed in a folder the user may not write: the settings go to %LOCALAPPDATA%"
installed=$work/Programme/Fumilink
install_program "$installed"
keep_from_user "$installed"
take_over installed "$installed" "Kunde" "$work/Kunden/installed.csv"
[ -s "$work/Kunden/installed.csv" ] || fail "installed: no transfer file"
[ ! -e "$installed/fumilink.ini" ] || fail "installed: a fumilink.ini appeared beside the program"
per_user=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Fumilink/fumilink.ini' | head -n 1)
settings_are "$per_user" ||
  fail "installed: no %LOCALAPPDATA%\\Fumilink\\fumilink.ini with comport=5 (found '${per_user}')"
echo "settings in ${per_user#"$WINEPREFIX/"}"
file_has "$(dirname "$per_user")/debug.log" "failure: no pairing found" ||
  fail "installed: no debug.log of the COM1 try beside the user's settings file"
[ ! -e "$installed/debug.log" ] || fail "installed: a debug.log appeared beside the program"

step "2. letters outside Windows-1252 in the program's folder, the transfer path and the header"
named="Şahin Łukasz"
program="$work/$named Programm"
mkdir -p "$program" "$work/Kunden/$named" "$work/Kunden/Sahin Lukasz"
install_program "$program"
give_to_user "$program" "$work/Kunden"
take_over letters "$program" "Şahin Müller €" "$work/Kunden/$named/out.csv"
settings_are "$program/fumilink.ini" || fail "letters: no fumilink.ini with comport=5 beside the program"
[ -s "$work/Kunden/$named/out.csv" ] || fail "letters: no transfer file in '$named'"
[ -z "$(ls -A "$work/Kunden/Sahin Lukasz")" ] ||
  fail "letters: the look-alike folder received $(ls -A "$work/Kunden/Sahin Lukasz")"
header=$(head -n 1 "$work/Kunden/$named/out.csv" | od -An -tx1 | xargs)
expected=$(printf '?AHIN M\374LLER \200\r\n' | od -An -tx1 | xargs)
[ "$header" = "$expected" ] || fail "letters: the header is '$header', not '$expected'"
echo "header in Windows-1252: $header"

step "3. a transfer path of more than 300 characters"
deep=$work/Kunden
while [ "$(windows_path "$deep/out.csv" | wc -m)" -le 300 ]; do
  deep=$deep/Kundenordner-mit-einem-sehr-langen-Namen-$RANDOM
done
as_user mkdir -p "$deep"
take_over long "$program" "Kunde" "$deep/out.csv"
[ -s "$deep/out.csv" ] || fail "long: no transfer file at the long path"
[ "$(ls -A "$deep")" = out.csv ] || fail "long: the folder holds $(ls -A "$deep" | tr "\n" " ")"
echo "written at a path of $(windows_path "$deep/out.csv" | wc -m) characters"

step "4. a fumilink.ini that Notepad saved as UTF-8 with a byte-order mark"
notepad="$work/Notepad Programm"
install_program "$notepad"
printf '\357\273\277[Main]\r\ncomport=5\r\nSerNr=ZOR GX40 SN42\r\nSO2Key=2204\r\n' \
  > "$notepad/fumilink.ini"
give_to_user "$notepad"
take_over notepad "$notepad" "Kunde" "$work/Kunden/notepad.csv"
[ ! -e "$notepad/debug.log" ] || fail "notepad: the search tried COM1, its comport=5 was not read"
grep -q -a '^2204=' "$work/Kunden/notepad.csv" ||
  fail "notepad: the SO2Key of the file with a byte-order mark was not read (no 2204= line)"
[ "$(head -c 3 "$notepad/fumilink.ini" | od -An -tx1 | xargs)" = "ef bb bf" ] ||
  fail "notepad: the saved fumilink.ini lost its byte-order mark"
[ "$(grep -c -a -F '[Main]' "$notepad/fumilink.ini")" -eq 1 ] ||
  fail "notepad: the saved fumilink.ini has $(grep -c -a -F '[Main]' "$notepad/fumilink.ini") [Main] sections"
echo "read and saved with its byte-order mark: $(od -An -c "$notepad/fumilink.ini" | head -n 1 | xargs)"

step "5. a transfer file that the calling program keeps open for reading and writing"
caller=$work/Kunden/Halter
mkdir -p "$caller" "$work/tools"
cp "$hold_file_exe" "$work/tools/hold_file.exe"
printf 'old\r\n' > "$caller/held.csv"
give_to_user "$caller"
(cd "$caller" && exec "${session_user[@]}" wine "$work/tools/hold_file.exe" \
  "$(windows_path "$caller/held.csv")" "$(windows_path "$work/logs/hold.ready")" \
  "$(windows_path "$work/logs/hold.release")") > "$work/logs/hold.out" 2>&1 &
holder_pid=$!
stop_at_exit "$holder_pid"
wait_for 60 "held: the holder did not open the file ($(cat "$work/logs/hold.out"))" \
  test -e "$work/logs/hold.ready"
take_over held "$program" "Kunde" "$caller/held.csv"
as_user touch "$work/logs/hold.release"
wait "$holder_pid" || fail "held: the holder failed ($(cat "$work/logs/hold.out"))"
[ "$(head -n 1 "$caller/held.csv")" = $'KUNDE\r' ] && grep -q -a '^9000=' "$caller/held.csv" ||
  fail "held: the held file did not receive the measurement: $(head -c 80 "$caller/held.csv")"
[ "$(ls -A "$caller")" = held.csv ] ||
  fail "held: the folder holds $(ls -A "$caller" | tr "\n" " ")"
echo "written into the held file: $(wc -l < "$caller/held.csv") lines, nothing beside it"

echo "Files of fumilink.exe in their places under Wine: passed"
