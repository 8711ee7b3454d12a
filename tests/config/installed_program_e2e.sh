#!/usr/bin/env bash
# The installed program, run as root from the folder the build installs it into (as the
# package's /usr/bin/fumilink): it finds the analyser on COM5 of the simulator and keeps the
# port in the user's own settings file; nothing appears beside the program. The folder is
# a private one mounted over the install folder in a mount namespace of this test, so the
# system's stays untouched.
#
# Usage: installed_program_e2e.sh FUMILINK FUMILINK_SIM INSTALL_BINDIR
#   Exit code 77 (skipped) where it cannot run: not root, or no mount namespace.
set -euo pipefail
program=$(realpath "${1:?fumilink}")
sim=$(realpath "${2:?fumilink-sim}")
bindir=${3:?the install folder of the build}
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root (root may write the install folder)"; exit 77; }
[ -d "$bindir" ] && unshare -m true 2> /dev/null ||
  { echo "skipped: no mount namespace or no $bindir"; exit 77; }

work=$(mktemp -d /tmp/fumilink-installed-XXXXXX)
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2> /dev/null || true
  wait 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/ports" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$work/bin/fumilink"
"$sim" --port-dir "$work/ports" --port 5 --steady --log "$work/sim.log" \
  --ready-file "$work/sim.ready" > /dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do [ -s "$work/sim.ready" ] && break; sleep 0.1; done
[ -s "$work/sim.ready" ] || { echo "FAIL: the simulator did not start"; exit 1; }

# Inside the namespace: the program from the install folder, until its settings are saved.
unshare -m bash -c '
  set -eu
  work=$1 bindir=$2
  mount --bind "$work/bin" "$bindir"
  cd "$bindir"
  env QT_QPA_PLATFORM=offscreen FUMILINK_PORT_DIR="$work/ports" FUMILINK_MESSAGE_BOXES=stderr \
    XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state" \
    "$bindir/fumilink" "Kunde" /ART=14 "$work/data.csv" 2> "$work/fumilink.stderr" &
  pid=$!
  for _ in $(seq 1 300); do
    grep -q "^comport=5" "$work/config/fumilink/fumilink.ini" 2> /dev/null && break
    sleep 0.1
  done
  sleep 0.5  # whatever it would write beside itself comes with the same save
  kill "$pid"
  wait "$pid" || true
' _ "$work" "$bindir"

grep -q "^comport=5" "$work/config/fumilink/fumilink.ini" 2> /dev/null ||
  { echo "FAIL: no comport=5 in the user's own settings file"; cat "$work/fumilink.stderr"; exit 1; }
[ "$(ls -A "$work/bin")" = fumilink ] ||
  { echo "FAIL: beside the installed program: $(ls -A "$work/bin" | tr '\n' ' ')"; exit 1; }
echo "installed program: settings in the user's own file, nothing beside the program"
