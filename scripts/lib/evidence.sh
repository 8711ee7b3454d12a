# shellcheck shell=bash
# What a failed end-to-end run leaves for its reader. Sourced by x-session.sh; defines
# functions only.
#
# keep_evidence WORK_FOLDER EXIT_STATUS: copies into a folder of its own,
# out/evidence/<script>-<time>-<pid> (FUMILINK_EVIDENCE_DIR names another parent),
#   reason.txt     the script's FAIL lines (x_fail writes them to x_failure_file when it
#                  is set, from subshells too), its exit status and its command line
#   screen.png     the virtual X server's screen as it is now (DISPLAY), with its window tree
#   processes.txt  every process of the machine at this moment, Wine's first
#   files/         WORK_FOLDER's files as they are: the programs' standard error, the
#                  simulator's logs, the install logs; of a Wine prefix only the registry,
#                  the session records and settings under AppData and the files in %TEMP%
# and prints the folder's path on standard error. Called while the session still runs:
# the screen and the processes are those of the failure.
keep_evidence() {
  local work=$1 status=$2 name folder
  name=$(basename "$0" .sh)
  folder=${FUMILINK_EVIDENCE_DIR:-$evidence_root/out/evidence}/$name-$(date -u +%Y%m%dT%H%M%SZ)-$$
  mkdir -p "$folder/files" || return 0
  {
    cat "${x_failure_file:-/dev/null}" 2> /dev/null || true
    echo "exit status $status"
    echo "command: $0 $evidence_arguments"
    echo "DISPLAY=${DISPLAY:-} WINEPREFIX=${WINEPREFIX:-}"
  } > "$folder/reason.txt"
  if [ -n "${DISPLAY:-}" ]; then
    /usr/bin/import -display "$DISPLAY" -window root "$folder/screen.png" 2> "$folder/screen.err" &&
      rm -f "$folder/screen.err"
    xwininfo -display "$DISPLAY" -root -tree > "$folder/windows.txt" 2>&1 || true
  fi
  {
    # By the name the process runs under: Wine's (wineserver, the .exe files), the X
    # servers, the simulators and the Linux program.
    ps -eo pid,ppid,user,etimes,stat,comm,args |
      awk 'NR == 1 || $6 ~ /wine|\.exe$|Xvfb|fumilink/' | cut -c 1-400
    echo
    ps -eo pid,ppid,user,etimes,stat,args | cut -c 1-400
  } > "$folder/processes.txt" 2>&1
  if [ -d "$work" ]; then
    (cd "$work" && find . \( -name drive_c -o -name dosdevices \) -prune -o -type f -size -20M -print0 |
      xargs -0 -r cp --parents -t "$folder/files" 2> /dev/null) || true
    (cd "$work" && find . -type f -size -20M \( -path '*/drive_c/users/*/AppData/*' \
      -o -path '*/drive_c/users/*/Temp/*' \) -print0 |
      xargs -0 -r cp --parents -t "$folder/files" 2> /dev/null) || true
  fi
  chmod -R a+rX "$folder" 2> /dev/null || true
  echo "evidence: $folder" >&2
}

evidence_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
evidence_arguments="$*"
