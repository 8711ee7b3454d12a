#!/usr/bin/env bash
# Makes or removes a throw-away Wine prefix for the Windows tests.
#   wine-prefix.sh create PREFIX [COM<n>=PATH ...]   new prefix; COM<n> opens PATH (a pty link)
#   wine-prefix.sh remove PREFIX                     stops its wineserver, deletes it
# COM ports are mapped through HKLM\Software\Wine\Ports; Wine reads that key when its
# server starts, so the server is stopped after the mapping. Wine also gives every
# /dev/ttyS* it finds a COM number of its own (after the mapped ones): tests never scan
# the port list blindly.
set -eEuo pipefail
action=${1:?create or remove}
prefix=$(realpath -m "${2:?prefix folder}")
shift 2
export WINEPREFIX=$prefix WINEDEBUG=-all
# shellcheck source=../../scripts/lib/wine-session.sh
source "$(dirname "$0")/../../scripts/lib/wine-session.sh"
# What Wine prints goes to a log beside the prefix, shown with the command that failed.
mkdir -p "$(dirname "$prefix")"
log=$prefix.log
: > "$log"
trap 'status=$?; echo "FAIL: $action $prefix: \"$BASH_COMMAND\" ended with $status; Wine printed:" >&2; cat "$log" >&2' ERR

case $action in
  create)
    [ -d "$prefix" ] && { stop_wine_server; rm -rf "$prefix"; }
    # wineboot without a display (it would only open a progress window).
    DISPLAY= wineboot -i >> "$log" 2>&1
    # Windows has Tahoma, the windows' fallback font; Wine offers programs only what lies
    # in the prefix's font folder, so fonts-wine's copy goes there, as on a Windows PC.
    cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf \
      "$prefix/drive_c/windows/Fonts/"
    for mapping in "$@"; do
      port=${mapping%%=*}
      # The link itself, not where it points: one a run before left behind leads to a pty
      # of that run.
      path=${mapping#*=}
      mkdir -p "$(dirname "$path")"
      path=$(realpath "$(dirname "$path")")/$(basename "$path")
      wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$path" /f >> "$log" 2>&1
    done
    stop_wine_server
    # One start with the mapping in place: the first start after it sets up the port
    # devices, and a serial port opened meanwhile can hang on its first write.
    wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' >> "$log" 2>&1
    stop_wine_server
    ;;
  remove)
    if [ -d "$prefix" ]; then
      stop_wine_server
      rm -rf "$prefix"
    fi
    rm -f "$log"
    ;;
  *)
    echo "usage: $0 create|remove PREFIX [COM<n>=PATH ...]" >&2
    exit 2
    ;;
esac
