#!/usr/bin/env bash
# Installs what building and running need and is missing (the tests' tools come with
# scripts/test.sh), builds, and runs Fumilink against the analyser simulator built into it
# (FUMILINK_DEMO=1: no hardware, no serial port, no simulator process needed; any other
# FUMILINK_DEMO set before the call is taken as is). The transfer file goes to out/data.csv.
#   With a display: the window opens; wait for live values, press "Daten übernehmen".
#   Without one (a bare server): the same runs on a virtual X server, a screenshot is
#   saved to out/fumilink.png, "Daten übernehmen" is clicked for you, and the transfer
#   file is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh build display
cmake --preset plain > build.configure.log 2>&1 || { cat build.configure.log; exit 1; }
cmake --build --preset plain -j "$(nproc)" --target fumilink

mkdir -p out
rm -f out/data.csv
args=("DEMO Heizung Müller" "/ART=14" "$root/out/data.csv")

export FUMILINK_DEMO=${FUMILINK_DEMO:-1}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$root/build/app/fumilink" "${args[@]}"
else
  xvfb-run -a -s "-noreset -screen 0 1024x768x24" \
    bash scripts/headless-demo.sh "$root/build/app/fumilink" "${args[@]}"
fi

if [ -f out/data.csv ]; then
  echo "== transfer file out/data.csv (Windows-1252, CR LF; shown converted):"
  iconv -f WINDOWS-1252 -t UTF-8 out/data.csv | tr -d '\r'
else
  echo "== no transfer file was written"
fi
