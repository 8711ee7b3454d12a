#!/usr/bin/env bash
# Runs the Win32 back end's check program under Wine against an echoing pty mapped to COM5.
# Usage: tests/serial/win32/run_under_wine.sh BUILD_DIR   (a MinGW-w64 build, e.g. build-win32)
# Needs wine and socat; uses a throw-away Wine prefix in a temporary folder.
set -euo pipefail
build=${1:?build dir of the Windows cross build}
exe=$(realpath "$build/serial/comm_port_wine_check.exe")
work=$(mktemp -d /tmp/fumilink-wine-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
socat pty,raw,echo=0,link="$work/COM5" SYSTEM:cat &
socat_pid=$!
cleanup() {
  kill "$socat_pid" 2>/dev/null || true
  wineserver -k > /dev/null 2>&1 || true
  wineserver -w > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$work/COM5" ] && break; sleep 0.1; done
# Wine's own start-up chatter goes to stderr; the checks print to stdout.
wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$work/COM5" /f > /dev/null 2>&1
wineserver -k > /dev/null 2>&1
wineserver -w > /dev/null 2>&1
wine "$exe" 2> /dev/null
