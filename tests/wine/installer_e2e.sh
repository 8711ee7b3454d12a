#!/usr/bin/env bash
# The Windows Installer package under Wine, in a fresh prefix of an ordinary user (as root:
# the user nobody), every msiexec run silent and logged ("msiexec /i PACKAGE /qn /l*v LOG"),
# its exit code read as Windows gives it:
#   1. The release before this one installs: 0, its version in Apps & features.
#   2. This release over it (the upgrade): 0; one entry for Fumilink, with name, version,
#      publisher, icon and help link; fumilink.exe, integration.md and LIESMICH-README.txt
#      in Program Files\Fumilink as the package holds them; the Start-menu entry
#      "Fumilink (Demo)" starting the installed program with --demo; an administrator's
#      fumilink.ini beside the exe and the user's settings file kept.
#   3. The installed program, its folder made unwritable to the user (as Program Files
#      is on Windows): started in the demo in the Start-menu entry's working folder (the
#      user's %TEMP%), it takes over; the transfer file there carries DEMO in its
#      identification lines; nothing under Program Files changes and no message box
#      reports a failure. The Start-menu entry itself, started through the shell as a
#      click starts it, brings up the installed program's window in the demo.
#   4. Another build of the same version replaces this one (one entry, its ProductCode).
#   5. The release before, over this one (a downgrade): refused with 1603, nothing changed.
#   6. "msiexec /x PACKAGE /qn": 0; nothing of the package left under Program Files, in
#      the Start menu or in the registry; the administrator's fumilink.ini and the user's
#      settings file are still there, unchanged.
# The log of a step that fails is shown with its failure.
#
# Usage: installer_e2e.sh FUMILINK_EXE PACKAGE OLDER_PACKAGE REBUILT_PACKAGE
#   FUMILINK_EXE is the build's program (its window title, fumilink-version.sh beside it);
#   PACKAGE its MSI, OLDER_PACKAGE the MSI of the release before, REBUILT_PACKAGE another
#   build of PACKAGE's version. Needs wine, Xvfb, xdotool and msitools; as root also the
#   user nobody and setpriv.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe of the build}"
package=$(realpath "${2:?the MSI of this build}")
older_package=$(realpath "${3:?the MSI of the release before}")
rebuilt_package=$(realpath "${4:?another MSI of this version}")

# The ordinary user: nobody when we are root, else ourselves. The installed folder is
# kept from the user as Program Files is (a folder of root's, or without write rights).
if [ "$(id -u)" -eq 0 ]; then
  user_id=$(id -u nobody)
  group_id=$(id -g nobody)
  session_user=(setpriv --reuid="$user_id" --regid="$group_id" --clear-groups)
  give_to_user() { chown -R "$user_id:$group_id" "$@"; }
  keep_from_user() { chown -R root:root "$@" && chmod -R go-w "$@"; }
else
  user_id=$(id -u)
  give_to_user() { chmod -R u+w "$@"; }
  keep_from_user() { chmod -R a-w "$@"; }
fi

start_wine_session installer
chmod 755 "$work"
export HOME=$work/home
export WINEPREFIX=$HOME/prefix
# No desktop files for the Start-menu entry in the session's home.
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
logs=$work/logs
mkdir -p "$HOME" "$logs" "$work/packages"
cp "$package" "$work/packages/new.msi"
cp "$older_package" "$work/packages/older.msi"
cp "$rebuilt_package" "$work/packages/rebuilt.msi"
chmod 644 "$work/packages"/*.msi
give_to_user "$HOME" "$logs"

step "Wine prefix of user $(as_user id -un), no COM port"
make_wine_prefix
keep_listed_ports

windows_path() { as_user winepath -w "$1" 2> /dev/null; }
unix_path() { as_user winepath -u "$1" 2> /dev/null; }
# A variable of the user's Windows environment, as the Unix path of the folder it names.
folder_of() { unix_path "$(as_user "${windows_start[@]}" cmd /c "echo %$1%" | tr -d '\r')"; }
program_files=$(unix_path 'C:\Program Files')
installed=$program_files/Fumilink
user_temp=$(folder_of TEMP)
user_settings=$(folder_of LOCALAPPDATA)/Fumilink/fumilink.ini
[ -d "$program_files" ] && [ -d "$user_temp" ] || fail "no Program Files or %TEMP% in the prefix"

msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'; }
# The package's files as it holds them (msitools unpacks its cabinet).
unpack() { mkdir -p "$2" && msiextract -C "$2" "$1" > /dev/null && echo "$2/Fumilink"; }
new_files=$(unpack "$package" "$work/unpacked/new")
older_files=$(unpack "$older_package" "$work/unpacked/older")
rebuilt_files=$(unpack "$rebuilt_package" "$work/unpacked/rebuilt")
new_version=$(msi_property "$package" ProductVersion)
older_version=$(msi_property "$older_package" ProductVersion)
new_code=$(msi_property "$package" ProductCode)
older_code=$(msi_property "$older_package" ProductCode)
rebuilt_code=$(msi_property "$rebuilt_package" ProductCode)
upgrade_code=$(msi_property "$package" UpgradeCode)
[ "$(msi_property "$rebuilt_package" ProductVersion)" = "$new_version" ] ||
  fail "the rebuilt package is not of version $new_version"
[ "$rebuilt_code" != "$new_code" ] || fail "two builds share the ProductCode $new_code"
[ "$(msi_property "$older_package" UpgradeCode)" = "$upgrade_code" ] ||
  fail "the older package has another UpgradeCode"
echo "packages: $older_version, $new_version $new_code, rebuilt $rebuilt_code"

# msiexec_step NAME EXPECTED_EXIT_CODE ACTION PACKAGE: "msiexec ACTION PACKAGE /qn /l*v
# LOG" as the user, from a batch file that prints its exit code: the Unix side keeps only
# the code's low byte (1603 would read 67). What the start printed is kept in LOG.start.
# When Wine could not start the process at all (wine_could_not_start), msiexec never ran:
# that one start is made once more, and said so; an exit code of msiexec, whatever it is,
# is its answer and never retried.
printf '@msiexec %%*\r\n@echo msiexec-exit=%%errorlevel%%\r\n' > "$work/packages/msiexec.cmd"
msiexec_step() {
  local name=$1 expected=$2 action=$3 log=$logs/$1.log output=$logs/$1.start status attempt
  for attempt in 1 2; do
    as_user "${windows_start[@]}" cmd /c "$(windows_path "$work/packages/msiexec.cmd")" \
      "$action" "$(windows_path "$4")" /qn /l*v "$(windows_path "$log")" > "$output" 2>&1 || true
    status=$(tr -d '\r' < "$output" | sed -n 's/^msiexec-exit=//p')
    [ -z "$status" ] && [ "$attempt" -eq 1 ] && wine_could_not_start "$output" > /dev/null || break
    echo "$name: Wine could not start msiexec ($(wine_could_not_start "$output")); starting it once more"
  done
  if [ "$status" != "$expected" ]; then
    show_log "$output"
    show_log "$log"
    [ -n "$status" ] || fail "$name: msiexec $action printed no exit code (it did not run)"
    fail "$name: msiexec $action ended with $status, not $expected"
  fi
  echo "$name: msiexec $action $(basename "$4") ended with $status"
}
# The log of a step, shown when it fails.
show_log() {
  echo "---- $1" >&2
  tr -d '\000\r' < "$1" >&2 2> /dev/null || echo "(no log)" >&2
  echo "----" >&2
}
# The step NAME failed: its log, then the reason.
step_fail() {
  show_log "$logs/$1.log"
  fail "$1: $2"
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The Apps & features entries whose name is Fumilink, one key a line.
fumilink_entries() {
  as_user wine reg query "$uninstall_key" /s 2> /dev/null | tr -d '\r' |
    awk '/^HKEY_/ { key = $0 } $1 == "DisplayName" && $2 == "REG_SZ" && $3 == "Fumilink" { print key }'
}
# entry_value PRODUCT_CODE NAME: a value of the entry.
entry_value() {
  as_user wine reg query "$uninstall_key\\$1" /v "$2" 2> /dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }'
}
# The one entry, of PRODUCT_CODE and VERSION: one_entry STEP PRODUCT_CODE VERSION
one_entry() {
  local entries
  entries=$(fumilink_entries)
  [ "$(wc -l <<< "$entries")" -eq 1 ] && [[ $entries == *"\\$2" ]] ||
    step_fail "$1" "Apps & features lists '$(paste -sd ' ' <<< "$entries")', not the one entry $2"
  [ "$(entry_value "$2" DisplayVersion)" = "$3" ] ||
    step_fail "$1" "the entry has version '$(entry_value "$2" DisplayVersion)', not $3"
}
# installed_as STEP FILES: the installed files are those of the package unpacked in FILES.
installed_as() {
  local file
  for file in fumilink.exe integration.md LIESMICH-README.txt; do
    cmp -s "$2/$file" "$installed/$file" || step_fail "$1" "Program Files\\Fumilink\\$file is not the package's"
  done
}
# The Start-menu folder the installer used: its ProgramMenuFolder, from the log.
start_menu_entry() {
  local folder
  folder=$(grep -a -o 'ProgramMenuFolder = .*' "$logs/$1.log" | head -n 1 | sed 's/^ProgramMenuFolder = //')
  [ -n "$folder" ] || step_fail "$1" "the log names no ProgramMenuFolder"
  echo "$(unix_path "$folder")/Fumilink (Demo).lnk"
}
# has_text FILE TEXT: FILE holds TEXT in UTF-16 LE (as a shortcut keeps its arguments).
has_utf16_text() {
  local pattern
  pattern=$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -d ' \n')
  od -An -tx1 -v "$1" | tr -d ' \n' | grep -q "$pattern"
}
snapshot() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }
# Windows Installer's packed form of a GUID, the name of its records in the registry: the
# first three groups reversed, then every byte of the rest with its two digits swapped.
packed_code() {
  local plain
  plain=$(tr -d '{}-' <<< "$1")
  echo "$(rev <<< "${plain:0:8}")$(rev <<< "${plain:8:4}")$(rev <<< "${plain:12:4}")$(sed -E 's/(.)(.)/\2\1/g' <<< "${plain:16:16}")"
}

# The user's own settings file, as a search with an analyser left it, and an
# administrator's fumilink.ini beside the program: no installation step may touch them.
user_settings_bytes=$'[Main]\r\ncomport=7\r\nSerNr=ZOR GX40 SN42\r\n'
mkdir -p "$(dirname "$user_settings")"
printf '%s' "$user_settings_bytes" > "$user_settings"
give_to_user "$(dirname "$user_settings")"
admin_settings_bytes=$'[Main]\r\ncomport=0\r\nSO2Key=2204\r\n'
settings_kept() { printf '%s' "$2" | cmp -s - "$1"; }

step "1. the release before installs ($older_version)"
msiexec_step install-older 0 /i "$work/packages/older.msi"
one_entry install-older "$older_code" "$older_version"
installed_as install-older "$older_files"
printf '%s' "$admin_settings_bytes" > "$installed/fumilink.ini"
settings_kept "$user_settings" "$user_settings_bytes" || fail "install-older: the user's settings changed"

step "2. this release over it ($new_version): one entry, the new files, the Start-menu entry"
msiexec_step upgrade 0 /i "$work/packages/new.msi"
one_entry upgrade "$new_code" "$new_version"
installed_as upgrade "$new_files"
[ "$(entry_value "$new_code" Publisher)" = "Fumilink developers" ] || step_fail upgrade "no publisher"
help_link=$(entry_value "$new_code" HelpLink)
[ -f "$(unix_path "$help_link")" ] || step_fail upgrade "the help link '$help_link' names no installed file"
icon=$(as_user wine reg query "HKLM\\Software\\Classes\\Installer\\Products\\$(packed_code "$new_code")" /v ProductIcon 2> /dev/null |
  tr -d '\r' | awk '$1 == "ProductIcon" { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }')
[ -n "$icon" ] && cmp -s "$(unix_path "$icon")" "$here/../../app/windows/fumilink.ico" ||
  step_fail upgrade "the entry has no icon (ProductIcon '$icon')"
shortcut=$(start_menu_entry upgrade)
[ -f "$shortcut" ] || step_fail upgrade "no Start-menu entry '$shortcut'"
grep -q -a -F 'C:\Program Files\Fumilink\fumilink.exe' "$shortcut" && has_utf16_text "$shortcut" --demo ||
  step_fail upgrade "the Start-menu entry does not start the installed fumilink.exe --demo"
settings_kept "$installed/fumilink.ini" "$admin_settings_bytes" ||
  step_fail upgrade "the administrator's fumilink.ini beside the program was not kept"
settings_kept "$user_settings" "$user_settings_bytes" || step_fail upgrade "the user's settings changed"
echo "entry: $(entry_value "$new_code" DisplayName) $(entry_value "$new_code" DisplayVersion)," \
  "$(entry_value "$new_code" Publisher), help link $help_link; Start menu: $(basename "$shortcut")"

step "3. the installed program in the demo, with Program Files unwritable to the user"
keep_from_user "$installed"
as_user touch "$installed/written" 2> /dev/null && fail "the user may still write to $installed"
before=$(snapshot "$installed")
# The Start-menu entry's command, "fumilink.exe --demo" in the user's %TEMP%.
rm -f "$user_temp/data.csv"
start_program "$user_temp" "$logs/demo.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" "$(windows_path "$installed/fumilink.exe")" --demo
window=$(main_window demo)
[[ $(xdotool getwindowname "$window") == *" - DEMO" ]] || fail "demo: the title does not say DEMO"
wait_for 60 "demo: no live values" badge_is_green "$window"
sleep 3
end_by_button "$window" BtExit "$program_pid" demo
[ -s "$user_temp/data.csv" ] || fail "demo: no data.csv in %TEMP%: $(cat "$logs/demo.stderr")"
for line in '9000=ZOR GX40 DEMO' '9100=GX40 V2.31 DEMO' '9200=DEMO42'; do
  grep -q -a -x -- "$line"$'\r' "$user_temp/data.csv" || fail "demo: the transfer file lacks '$line'"
done
[ ! -s "$logs/demo.stderr" ] || fail "demo: messages: $(cat "$logs/demo.stderr")"
[ "$(snapshot "$installed")" = "$before" ] || fail "demo: files under Program Files changed"
settings_kept "$user_settings" "$user_settings_bytes" || fail "demo: the user's settings changed"
echo "take-over in %TEMP%: $(grep -c . "$user_temp/data.csv") lines, DEMO identification; Program Files and the user's settings unchanged"

# The Start-menu entry as a click starts it (the shell opens the shortcut).
start_program "$user_temp" "$logs/entry.stderr" env FUMILINK_MESSAGE_BOXES=stderr \
  "${windows_start[@]}" cmd /c start "" "$(windows_path "$shortcut")"
window=$(main_window "Start-menu entry")
[[ $(xdotool getwindowname "$window") == *" - DEMO" ]] || fail "Start-menu entry: the title does not say DEMO"
click_button "$window" BTBreak
no_main_window() { ! has_window "$FUMILINK_TITLE_PATTERN"; }
wait_for 60 "Start-menu entry: the window did not close after 'Abbrechen'" no_main_window
program_ended() { ! pgrep -u "$user_id" -f 'Fumilink.fumilink\.exe' > /dev/null; }
wait_for 30 "Start-menu entry: the program did not end" program_ended
[ "$(snapshot "$installed")" = "$before" ] || fail "Start-menu entry: files under Program Files changed"
echo "the Start-menu entry started the installed program in the demo"
cp "$user_settings" "$work/user-settings-after-demo"
give_to_user "$installed"

step "4. another build of the same version replaces this one"
msiexec_step rebuilt 0 /i "$work/packages/rebuilt.msi"
one_entry rebuilt "$rebuilt_code" "$new_version"
installed_as rebuilt "$rebuilt_files"

step "5. the release before, over this one: refused"
msiexec_step downgrade 1603 /i "$work/packages/older.msi"
one_entry downgrade "$rebuilt_code" "$new_version"
installed_as downgrade "$rebuilt_files"

step "6. removal"
msiexec_step remove 0 /x "$work/packages/rebuilt.msi"
[ -z "$(fumilink_entries)" ] || step_fail remove "Apps & features still lists $(fumilink_entries)"
[ "$(ls -A "$installed")" = fumilink.ini ] ||
  step_fail remove "Program Files\\Fumilink holds $(ls -A "$installed" | paste -sd ' ')"
settings_kept "$installed/fumilink.ini" "$admin_settings_bytes" ||
  step_fail remove "the administrator's fumilink.ini changed"
[ ! -e "$shortcut" ] || step_fail remove "the Start-menu entry is still there"
cmp -s "$user_settings" "$work/user-settings-after-demo" ||
  step_fail remove "the user's settings file was changed or removed"
compgen -G "$(dirname "$user_settings")/Logs/fumilink-*.log" > /dev/null ||
  step_fail remove "the user's session records were removed"
# The registry as Wine's server writes it back: nothing names the product, its codes or
# their packed forms (the keys of Windows Installer's own records).
stop_wine_server
patterns=(-e Fumilink)
for code in "$older_code" "$new_code" "$rebuilt_code" "$upgrade_code"; do
  patterns+=(-e "$(tr -d '{}' <<< "$code")" -e "$(packed_code "$code")")
done
for hive in system.reg user.reg; do
  left=$(grep -i -n -F "${patterns[@]}" "$WINEPREFIX/$hive" || true)
  [ -z "$left" ] || step_fail remove "$hive still holds: $left"
done
echo "removed: Program Files\\Fumilink holds only the administrator's fumilink.ini; the user's settings kept"

echo "Windows Installer package under Wine: passed"
