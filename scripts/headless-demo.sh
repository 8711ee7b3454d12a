#!/usr/bin/env bash
# Drives Fumilink on a virtual X server as a user would: waits for live values, saves a
# screenshot, clicks "Daten übernehmen" and waits until the program has ended.
#   headless-demo.sh PROGRAM [ARGS...]      (DISPLAY and FUMILINK_DEMO or FUMILINK_PORT_DIR
#                                           already set)
# The window title comes from the build (fumilink-version.sh beside PROGRAM, or the file
# FUMILINK_VERSION_FILE names).
set -euo pipefail
# shellcheck source=lib/x-session.sh
source "$(dirname "$0")/lib/x-session.sh"
use_version_of "$1"
export FUMILINK_MESSAGE_BOXES=stderr
"$@" &
pid=$!
trap 'kill "$pid" 2> /dev/null || true' EXIT

# Generous bounds: on a loaded machine the start alone can take many seconds.
wait_for 60 "the Fumilink window did not appear" has_window "$FUMILINK_TITLE_PATTERN"
window=$(window_of "$FUMILINK_TITLE_PATTERN")
echo "waiting for live values ..." >&2
wait_for 60 "no live values" badge_is_green "$window"
# A few more cycles of data lines, so that every value has arrived.
sleep 3
mkdir -p out
/usr/bin/import -window "$window" out/fumilink.png
echo "screenshot: out/fumilink.png" >&2

click_button "$window" BtExit
wait_for 20 "Fumilink is still running after the take-over" has_ended "$pid"
wait "$pid"
