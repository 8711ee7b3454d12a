#!/usr/bin/env bash
# The running program read from outside as a screen reader reads it, over AT-SPI: a
# private D-Bus session with the accessibility bus and its registry, the program on the
# xcb platform of a virtual X server with its accessibility bridge switched on, and
# fumilink-sim on pseudo-terminals as the analyser. atspi_e2e.py finds every control by its
# name, reads the values, and starts a new search through the picture's accessible action
# and once more with Tab and Space; the simulator's log must show each search.
#
# Usage: atspi_e2e.sh FUMILINK FUMILINK_SIM
#   Needs dbus, at-spi2-core, python3-pyatspi, Xvfb and xdotool
#   (scripts/install-deps.sh a11y display).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

missing=()
for tool in dbus-run-session Xvfb xdotool /usr/libexec/at-spi-bus-launcher \
  /usr/libexec/at-spi2-registryd; do
  command -v "$tool" > /dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import pyatspi' 2> /dev/null || missing+=(pyatspi)
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: missing ${missing[*]} (bash scripts/install-deps.sh a11y display)" >&2
  exit 1
fi

# The session bus of our own, ended with this script.
if [ -z "${FUMILINK_ATSPI_SESSION:-}" ]; then
  FUMILINK_ATSPI_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi

program=$(realpath "${1:?fumilink}")
sim=$(realpath "${2:?fumilink-sim}")
# shellcheck source=../../scripts/lib/x-session.sh
source "$here/../../scripts/lib/x-session.sh"

work=$(mktemp -d /tmp/fumilink-atspi-XXXXXX)
pids=()
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  local status=$? pid
  [ "$status" -eq 0 ] || keep_evidence "$work" "$status"
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
x_failure_file=$work/failures
trap cleanup EXIT
mkdir -p "$work/bin" "$work/ports" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
# A copy of its own: the program keeps its settings file beside itself.
cp "$program" "$work/bin/fumilink"

start_xvfb "$work"
pids+=("$XVFB_PID")
/usr/libexec/at-spi-bus-launcher --launch-immediately > "$work/bus.log" 2>&1 &
pids+=($!)
/usr/libexec/at-spi2-registryd > "$work/registryd.log" 2>&1 &
pids+=($!)

# Cycles back to back: the values change several times a second, as fast as 9600 baud
# carries them.
"$sim" --port-dir "$work/ports" --port 5 --cycle-ms 0 --log "$work/sim.log" \
  --ready-file "$work/sim.ready" > /dev/null 2>&1 &
pids+=($!)
wait_for 20 "the simulator did not start" test -s "$work/sim.ready"

env QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 FUMILINK_PORT_DIR="$work/ports" \
  FUMILINK_MESSAGE_BOXES=stderr XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  "$work/bin/fumilink" "Kunde" /ART=14 "$work/data.csv" 2> "$work/fumilink.stderr" &
program_pid=$!
pids+=("$program_pid")

status=0
/usr/bin/python3 "$here/atspi_e2e.py" --sim-log "$work/sim.log" || status=$?
if [ "$status" -eq 0 ]; then
  # The reader ended the program with "Abbrechen".
  wait_for 30 "the program did not end after Abbrechen" has_ended "$program_pid"
  wait "$program_pid" || status=$?
  [ "$status" -eq 0 ] || echo "FAIL: the program ended with $status" >&2
fi
if [ "$status" -ne 0 ]; then
  echo "-- program's standard error:" >&2
  cat "$work/fumilink.stderr" >&2
  echo "-- the simulator's last lines:" >&2
  tail -n 20 "$work/sim.log" >&2
fi
exit "$status"
