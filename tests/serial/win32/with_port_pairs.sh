#!/usr/bin/env bash
# Gives one serial test run under Wine its line, runs the test, and takes the line away:
#   PORT_DIR/COM5 <-> PORT_DIR/COM6   two ends of one pty pair
# The Wine prefix maps COM5 and COM6 to these links (tests/wine/wine-prefix.sh). The file
# PORT_DIR/linked is there while they are. The test hangs the line up by creating
# PORT_DIR/hang-up: the pair ends (the links and "linked" vanish); once the file is removed
# a new pair is linked for the next test. The test finds the folder in
# FUMILINK_TEST_PORT_DIR. (Windows reads any path ending in "COM5" as the port itself, so
# the test cannot look at the links.)
# Usage: with_port_pairs.sh PORT_DIR COMMAND [ARGS...]
set -euo pipefail
dir=$(realpath -m "${1:?port folder}")
shift
mkdir -p "$dir"
rm -f "$dir"/COM5 "$dir"/COM6 "$dir"/hang-up "$dir"/linked
export FUMILINK_TEST_PORT_DIR=$dir

# A short sleep without starting a process: a read that nothing will ever answer.
exec {never}<> <(:)
pause() { read -r -t 0.02 -u "$never" || true; }
keep_line() {
  local pair
  trap 'kill $pair 2> /dev/null; exit 0' TERM
  while :; do
    socat pty,raw,echo=0,link="$dir/COM5" pty,raw,echo=0,link="$dir/COM6" &
    pair=$!
    until [ -e "$dir/COM5" ] && [ -e "$dir/COM6" ]; do pause; done
    : > "$dir/linked"
    while [ ! -e "$dir/hang-up" ]; do pause; done
    kill "$pair"
    wait "$pair" 2> /dev/null || true
    rm -f "$dir/linked"
    while [ -e "$dir/hang-up" ]; do pause; done
  done
}
keep_line &
keeper=$!
# Wine's server opens the ptys without O_NOCTTY: the first becomes its controlling
# terminal, and when that one hangs up it is sent SIGHUP and dumps all its objects (some
# megabytes) to its standard error. Unless a server runs already, start one whose standard
# error goes to a log instead of the test's output.
if [ -n "${WINEPREFIX:-}" ]; then
  wineserver -p3 2>> "$dir/wineserver.log" || true
fi
trap 'kill "$keeper" 2> /dev/null; wait 2> /dev/null || true' EXIT
"$@"
