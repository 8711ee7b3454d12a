#!/usr/bin/env bash
# Installs what building and running need and is missing (the tests' tools come with
# scripts/test.sh), builds, and runs Fumilink against the built-in analyser simulator (no
# hardware needed). The transfer file goes to out/data.csv.
#   With a display: the window opens; wait for live values, press "Daten übernehmen".
#   Without one (a bare server): the same runs on a virtual X server, a screenshot is
#   saved to out/fumilink.png, "Daten übernehmen" is clicked for you, and the transfer
#   file is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh build display
cmake --preset plain > build.configure.log 2>&1 || { cat build.configure.log; exit 1; }
cmake --build --preset plain -j "$(nproc)" --target fumilink fumilink-sim

mkdir -p out
rm -f out/data.csv
args=("DEMO Heizung Müller" "/ART=14" "$root/out/data.csv")

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  FUMILINK_SIM="$root/build/tools/sim/fumilink-sim" \
    tools/sim/run-with-sim.sh "$root/build/app/fumilink" "${args[@]}"
else
  FUMILINK_SIM="$root/build/tools/sim/fumilink-sim" \
    xvfb-run -a -s "-noreset -screen 0 1024x768x24" \
    tools/sim/run-with-sim.sh bash scripts/headless-demo.sh "$root/build/app/fumilink" "${args[@]}"
fi

if [ -f out/data.csv ]; then
  echo "== transfer file out/data.csv (Windows-1252, CR LF; shown converted):"
  iconv -f WINDOWS-1252 -t UTF-8 out/data.csv | tr -d '\r'
else
  echo "== no transfer file was written"
fi
