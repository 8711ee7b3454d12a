# shellcheck shell=bash
# The end-to-end scripts of the win32 stage of scripts/test.sh (tests/wine/NAME.sh), in the
# order the stage runs them, with the arguments they get there (paths from the source
# folder; a * stands for the version in a package's name). The stage runs installer_e2e
# last, once it has built the packages it needs. Source it; defines variables only.
# shellcheck disable=SC2034  # used by the scripts that source it
win32_scripts=(program_e2e help_window_keys bluetooth_e2e file_places_e2e demo_e2e faults_e2e
  accessibility_e2e integrators_e2e installer_e2e)
# shellcheck disable=SC2034
declare -A win32_script_args=(
  [program_e2e]="build-win32/app/fumilink.exe build/tools/sim/fumilink-sim build/app/fumilink out"
  [help_window_keys]="build-win32/app/fumilink.exe"
  [bluetooth_e2e]="build-win32/app/fumilink.exe build-win32/tests/serial/slow_open/fumilink.exe
    build/tools/sim/fumilink-sim out"
  [file_places_e2e]="build-win32/app/fumilink.exe build/tools/sim/fumilink-sim
    build-win32/tests/config/hold_file.exe"
  [demo_e2e]="build-win32/app/fumilink.exe build/app/fumilink out"
  [faults_e2e]="build-win32/app/fumilink.exe build/tools/sim/fumilink-sim build/app/fumilink out"
  [accessibility_e2e]="build-win32/app/fumilink.exe build/tools/sim/fumilink-sim"
  [integrators_e2e]="build-win32/app/fumilink.exe out"
  [installer_e2e]="build-win32/app/fumilink.exe build-win32/dist/fumilink-*-windows-x64.msi
    build-win32-older/dist/fumilink-*-windows-x64.msi build-win32/rebuilt/fumilink.msi"
)
# run_win32_script NAME: the script as the stage runs it.
run_win32_script() {
  # shellcheck disable=SC2086  # a list of paths, some with a * to expand
  bash "tests/wine/$1.sh" ${win32_script_args[$1]:?no Wine script $1}
}
