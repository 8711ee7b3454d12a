#!/bin/sh
# Runs a Windows program under Wine; CTest's emulator for the Windows build. The prefix is
# the one in WINEPREFIX (the wine_prefix test fixture makes a throw-away one per run);
# Wine's own diagnostics are off unless WINEDEBUG says otherwise.
: "${WINEPREFIX:?WINEPREFIX must name a Wine prefix (see tests/wine/wine-prefix.sh)}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
