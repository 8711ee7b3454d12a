#!/usr/bin/env bash
# Drives Fumilink on a virtual X server as a user would: waits for live values, saves a
# screenshot, clicks "Daten übernehmen" and waits until the program has ended.
#   headless-demo.sh PROGRAM [ARGS...]      (DISPLAY and FUMILINK_PORT_DIR already set)
set -euo pipefail
export FUMILINK_MESSAGE_BOXES=stderr
"$@" &
pid=$!
trap 'kill "$pid" 2> /dev/null || true' EXIT

# Generous bounds: on a loaded machine the start alone can take many seconds.
window=""
for _ in $(seq 600); do
  window=$(xdotool search --name '^Fumilink 1\.0,007$' 2> /dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the Fumilink window did not appear" >&2; exit 1; }

# The first data line turns the connection picture's badge green (picture 3) and enables
# "Daten übernehmen" at the same moment; (18, 18) lies on the badge, off its white rune.
badge_is_green() {
  local rgb
  rgb=$(/usr/bin/import -window "$window" -crop 1x1+18+18 txt:- 2> /dev/null |
    grep -o 'srgba\?([0-9]*,[0-9]*,[0-9]*' | head -n 1 | tr -dc '0-9,')
  IFS=, read -r r g b <<< "$rgb"
  [ -n "${b:-}" ] && [ "$r" -lt 90 ] && [ "$g" -gt 120 ] && [ "$b" -lt 90 ]
}
echo "waiting for live values ..." >&2
for _ in $(seq 120); do
  badge_is_green && break
  sleep 0.5
done
badge_is_green || { echo "no live values after 60 s" >&2; exit 1; }
# A few more cycles of data lines, so that every value has arrived.
sleep 3
mkdir -p out
/usr/bin/import -window "$window" out/fumilink.png
echo "screenshot: out/fumilink.png" >&2

# "Daten übernehmen" sits at 344,12 (165 x 29) in the window's client area.
xdotool mousemove --window "$window" 426 26 click 1
for _ in $(seq 200); do
  kill -0 "$pid" 2> /dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2> /dev/null; then
  echo "Fumilink is still running after the take-over; stopping it" >&2
  exit 1
fi
wait "$pid"
