#!/usr/bin/env bash
# Runs a program against a simulated analyser: starts fumilink-sim in the background on a
# private port folder, runs the program with FUMILINK_PORT_DIR pointing there, and stops
# the simulator (which removes its links) when the program ends.
#   tools/sim/run-with-sim.sh build/app/fumilink [program arguments...]
# Environment: FUMILINK_SIM (simulator path, default build/tools/sim/fumilink-sim),
#              FUMILINK_SIM_ARGS (extra simulator options, e.g. "--fault delay=500").
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM [ARGS...]" >&2; exit 2; }
sim=${FUMILINK_SIM:-build/tools/sim/fumilink-sim}
ports=$(mktemp -d)
log="$ports/sim.log"
# shellcheck disable=SC2086  # the extra options are meant to split into words
"$sim" --port-dir "$ports" --ready-file "$ports/ready" --log "$log" ${FUMILINK_SIM_ARGS:-} \
  > /dev/null &
sim_pid=$!
cleanup() {
  kill "$sim_pid" 2> /dev/null || true
  wait "$sim_pid" 2> /dev/null || true
  rm -rf "$ports"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$ports/ready" ] && break
  kill -0 "$sim_pid" 2> /dev/null || { echo "fumilink-sim did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$ports/ready" ] || { echo "fumilink-sim not ready after 10 s" >&2; exit 1; }
echo "simulator: $(cat "$ports/ready") (log: $log, removed at exit)" >&2
status=0
FUMILINK_PORT_DIR="$ports" "$@" || status=$?
exit "$status"
