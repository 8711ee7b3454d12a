#!/usr/bin/env bash
# Gives one serial test run under Wine its ports, runs it, and takes them away again:
#   PORT_DIR/COM5 <-> PORT_DIR/COM6   two ends of one line (a pty pair)
#   PORT_DIR/COM7, PORT_DIR/COM8      ptys whose other end hangs up after the first byte
# The Wine prefix maps COM5..COM8 to these links (tests/wine/wine-prefix.sh).
# Usage: with_port_pairs.sh PORT_DIR COMMAND [ARGS...]
set -euo pipefail
dir=${1:?port folder}
shift
mkdir -p "$dir"
rm -f "$dir"/COM5 "$dir"/COM6 "$dir"/COM7 "$dir"/COM8
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  wait 2> /dev/null || true
}
trap cleanup EXIT
socat pty,raw,echo=0,link="$dir/COM5" pty,raw,echo=0,link="$dir/COM6" &
pids+=($!)
for n in 7 8; do
  socat -t 0 pty,raw,echo=0,link="$dir/COM$n" SYSTEM:'head -c 1 > /dev/null' &
  pids+=($!)
done
for _ in $(seq 100); do
  [ -e "$dir/COM5" ] && [ -e "$dir/COM6" ] && [ -e "$dir/COM7" ] && [ -e "$dir/COM8" ] && break
  sleep 0.1
done
"$@"
