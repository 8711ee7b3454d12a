#!/usr/bin/env bash
# What a calling program's developer and a trainer do with fumilink.exe, under Wine on a
# prefix without any COM port, every start as Windows starts a program (windows_start):
#   1. --demo on the command line, with no variable (FUMILINK_DEMO set to a value the demo
#      would refuse: the switch wins), in front of the three arguments, which it does not
#      shift; the demo presses "Daten übernehmen" by itself (--take-over-after), and the
#      transfer file carries SO2 under the SO2Key of the settings file, which the demo read.
#   2. The settings file beside the exe is byte for byte as before, and no debug.log was
#      written, although the demo's search opened COM1.
#   3. An unattended abort (--abort-after) without any other argument: no transfer file;
#      an unattended take-over when no analyser is found ends the run as "Abbrechen" does.
#      The batch file and the C++ program of docs/integration.md, as they stand there (the
#      exe's path put in), run both outcomes unattended.
#   4. The "C:\out\" quoting mistake: a box at the start names the quote, in front of the
#      main window, which goes on to show live values.
#   5. Two copies started within 50 ms of each other: the second copy's box stands in front
#      of the first copy's window (the X server's stacking order, read from outside).
# Screenshots: OUT/windows-transfer-path.png, OUT/windows-second-copy-in-front.png.
#
# Usage: integrators_e2e.sh FUMILINK_EXE [OUT]   (needs wine, Xvfb, xdotool, xwininfo,
#   ImageMagick's import, MinGW-w64's g++)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wine-session.sh
source "$here/../../scripts/lib/wine-session.sh"
use_windows_program "${1:?fumilink.exe}"
out=$(realpath -m "${2:-out}")
mkdir -p "$out"
docs=$here/../../docs/integration.md

start_wine_session integrators
use_own_runtime_folder

step "Wine prefix without any COM port"
make_wine_prefix
wine reg add 'HKCU\Control Panel\International' /v Locale /d 00000407 /f > /dev/null 2>&1
keep_listed_ports

run=$work/run
install_program "$run"
settings=$'[Main]\r\ncomport=3\r\nSerNr=ZOR GX40 SN7\r\nSO2Key=2204\r\n'
printf '%s' "$settings" > "$run/fumilink.ini"
windows_path() { winepath -w "$1" 2> /dev/null; }

# ends_by_itself PID WHO: the program ends within 90 s without anybody at the screen, with 0.
ends_by_itself() {
  local status=0
  wait_for 90 "$2: the program did not end by itself" has_ended "$1"
  wait "$1" || status=$?
  [ "$status" -eq 0 ] || fail "$2: the program ended with $status"
}

step "--demo on the command line (FUMILINK_DEMO refused, the switch wins): unattended take-over"
start_program "$run" "$work/take-over.stderr" env FUMILINK_DEMO="--fault sparks" \
  "${windows_start[@]}" fumilink.exe "--demo=--dead-port 1 --steady --take-over-after 2" \
  "Kunde 4711" /ART=14 "$(windows_path "$run/out.csv")"
main_window take-over > /dev/null
ends_by_itself "$program_pid" take-over
[ -s "$run/out.csv" ] || fail "no transfer file: $(cat "$work/take-over.stderr")"
head -n 1 "$run/out.csv" | grep -q -a -x $'KUNDE 4711\r' || fail "the header moved: $(head -n 1 "$run/out.csv")"
for line in '6420=14' '9000=ZOR GX40 DEMO' '9200=DEMO42'; do
  grep -q -a -x -- "$line"$'\r' "$run/out.csv" || fail "the transfer file lacks '$line'"
done
grep -q -a '^2204=' "$run/out.csv" || fail "no SO2 under the SO2Key the demo should have read"
[ ! -s "$work/take-over.stderr" ] || fail "messages: $(cat "$work/take-over.stderr")"

step "the demo left the settings file as it was, and wrote no debug.log"
printf '%s' "$settings" | cmp -s - "$run/fumilink.ini" ||
  fail "fumilink.ini changed: $(tr '\r\n' '| ' < "$run/fumilink.ini")"
[ ! -e "$run/debug.log" ] || fail "the demo wrote debug.log"

step "unattended abort with --demo alone in front: no transfer file"
start_program "$run" "$work/abort.stderr" "${windows_start[@]}" fumilink.exe "--demo=--abort-after 1"
main_window abort > /dev/null
ends_by_itself "$program_pid" abort
[ ! -e "$run/data.csv" ] || fail "a transfer file after the abort"
printf '%s' "$settings" | cmp -s - "$run/fumilink.ini" || fail "fumilink.ini changed"

step "unattended take-over with no analyser to be found: the run ends by itself, no file"
start_program "$run" "$work/no-analyser.stderr" "${windows_start[@]}" fumilink.exe \
  "--demo=--no-analyser --dead-port 3 --take-over-after 1" "Kunde 4711" /ART=14 \
  "$(windows_path "$run/none.csv")"
main_window no-analyser > /dev/null
ends_by_itself "$program_pid" no-analyser
[ ! -e "$run/none.csv" ] || fail "a transfer file without an analyser"
[ ! -s "$work/no-analyser.stderr" ] || fail "messages: $(cat "$work/no-analyser.stderr")"


# The code block of docs/integration.md that holds TEXT (the N-th of its language LANG):
# doc_block LANG TEXT
doc_block() {
  awk -v lang="$1" -v text="$2" '
    $0 == "```" lang { inside = 1; block = ""; next }
    inside && $0 == "```" { inside = 0; if (index(block, text)) { printf "%s", block; exit } next }
    inside { block = block $0 "\n" }' "$docs"
}

step "the batch file of docs/integration.md runs both outcomes"
doc_block bat 'fumilink-ci.csv' |
  sed "s|^set \"exe=.*|set \"exe=$(windows_path "$run/fumilink.exe" | sed 's/[\\&|]/\\&/g')\"|" |
  sed 's/$/\r/' > "$run/ci.bat"
grep -q 'start "" /wait' "$run/ci.bat" || fail "no batch example found in $docs"
(cd "$run" && as_user "${windows_start[@]}" cmd /c ci.bat) > "$work/ci.out" 2>&1 ||
  fail "the batch example failed: $(tr -d '\r' < "$work/ci.out")"
grep -q 'both outcomes passed' "$work/ci.out" || fail "the batch example said: $(tr -d '\r' < "$work/ci.out")"

step "the C++ program of docs/integration.md runs both outcomes"
{
  doc_block cpp 'void AppendArgument(std::wstring& line, const std::wstring& argument) {'
  doc_block cpp 'RunDemo('
  cat << 'CPP'
#include <cstdio>
#include <cstdlib>

// The exe and the transfer file come from the environment: FUMILINK_EXE, TRANSFER_FILE.
int main() {
    const std::wstring exe = _wgetenv(L"FUMILINK_EXE");
    const std::wstring transfer = _wgetenv(L"TRANSFER_FILE");
    const std::optional<std::string> taken =
        RunDemo(exe, L"--steady --take-over-after 2 --abort-after 60", transfer);
    if (!taken || taken->find("\r\n9000=ZOR GX40 DEMO\r\n") == std::string::npos) {
        std::puts("FAIL: no demo transfer file after --take-over-after");
        return 1;
    }
    if (RunDemo(exe, L"--abort-after 1", transfer)) {
        std::puts("FAIL: a transfer file after --abort-after");
        return 1;
    }
    std::puts("both outcomes passed");
    return 0;
}
CPP
} > "$work/run_demo.cpp"
x86_64-w64-mingw32-g++ -std=c++17 -O1 -Wall -Wextra -Werror -static -o "$run/run_demo.exe" \
  "$work/run_demo.cpp" || fail "the C++ example of $docs does not build"
(cd "$run" && as_user env FUMILINK_EXE="$(windows_path "$run/fumilink.exe")" \
  TRANSFER_FILE="$(windows_path "$run/cpp.csv")" "${windows_start[@]}" run_demo.exe) \
  > "$work/cpp.out" 2>&1 || fail "the C++ example failed: $(tr -d '\r' < "$work/cpp.out")"
grep -q 'both outcomes passed' "$work/cpp.out" || fail "the C++ example said: $(cat "$work/cpp.out")"
printf '%s' "$settings" | cmp -s - "$run/fumilink.ini" || fail "fumilink.ini changed"

step "\"C:\\out\\\" in a batch file: a box at the start names the quote, the program goes on"
# The trainer's mistake as it stands in a batch file: the backslash before the closing
# quote takes the quote into the argument. cmd hands the line on as it is written.
mkdir -p "$run/out"
quoted_line="fumilink.exe --demo=\"--abort-after 3\" \"Kunde\" /ART=14 \"$(windows_path "$run/out")\\\""
printf '@echo off\r\nset FUMILINK_MESSAGE_BOXES=stderr\r\n%s 2> quote.err\r\n' "$quoted_line" > "$run/quote-stderr.bat"
(cd "$run" && as_user "${windows_start[@]}" cmd /c quote-stderr.bat) > /dev/null 2>&1 ||
  fail "the program did not end after the box and the abort"
# Standard error of a Windows program ends its lines in CR LF.
iconv -f WINDOWS-1252 -t UTF-8 "$run/quote.err" | tr -d '\r' > "$work/quote.err"
{ grep -q -x 'Information: Die Übergabedatei kann nicht geschrieben werden:' "$work/quote.err" &&
  grep -q '^Der Pfad enthält ein Anführungszeichen' "$work/quote.err"; } ||
  fail "the box at the start did not name the quote: $(cat "$work/quote.err")"
[ -z "$(ls -A "$run/out")" ] || fail "the look left something in the folder: $(ls -A "$run/out")"
# The real box, in front of the window, which shows live values behind it.
printf '@echo off\r\n%s\r\n' "$quoted_line" > "$run/quote-box.bat"
start_program "$run" "$work/quote-box.stderr" "${windows_start[@]}" cmd /c quote-box.bat
wait_for 60 "no box for the transfer path" has_window '^Informationen$'
box=$(window_of '^Informationen$')
window=$(main_window quote)
wait_for 60 "no live values behind the box" badge_is_green "$window"
in_front "$box" "$window" || fail "the box lies behind the main window"
/usr/bin/import -window root -crop 700x420+290+300 "$out/windows-transfer-path.png"
xdotool mousemove --window "$box" 20 20 click 1
xdotool key Return
ends_by_itself "$program_pid" "quote (the abort after the box)"

step "two copies within 50 ms: the second copy's box stands in front of the first copy's window"
# Back to back, well within 50 ms: the box needs less start-up than the first copy's
# window, so it mostly comes up first, and that window then maps on top of it.
start_program "$run" "$work/first.stderr" "${windows_start[@]}" fumilink.exe --demo
first_pid=$program_pid
start_program "$run" "$work/second.stderr" "${windows_start[@]}" fumilink.exe --demo
second_pid=$program_pid
window=$(main_window "two copies")
wait_for 60 "the second copy showed no box" has_window '^fumilink$'
box=$(window_of '^fumilink$')
# Until the first copy's window has come up and searched, and again a few seconds later.
for look in 1 2; do
  sleep 2
  in_front "$box" "$window" ||
    fail "the box lies behind the first copy's window (look $look): $(xwininfo -root -children | grep -i fumilink)"
done
/usr/bin/import -window root -crop 700x420+290+300 "$out/windows-second-copy-in-front.png"
xdotool mousemove --window "$box" 20 20 click 1
xdotool key Return
# Which of the two took the guard first is the race's: the one that showed the box ends
# with 0 after OK, the other runs on.
one_has_ended() { has_ended "$first_pid" || has_ended "$second_pid"; }
wait_for 30 "the second copy did not end after OK" one_has_ended
if has_ended "$first_pid"; then
  boxed=$first_pid running=$second_pid
else
  boxed=$second_pid running=$first_pid
fi
status=0
wait "$boxed" || status=$?
[ "$status" -eq 0 ] || fail "the second copy ended with $status"
has_window "$FUMILINK_TITLE_PATTERN" || fail "the first copy's window went away"
end_by_button "$window" BTBreak "$running" "the first copy"

echo "integrators and trainers under Wine: passed (screenshots in $out)"
