#!/usr/bin/env bash
# Installs the Debian packages of the named groups that are missing, in one apt run.
# Idempotent: when everything is there it only asks dpkg and returns.
#   scripts/install-deps.sh GROUP...
# Groups:
#   build    compiler, CMake, Ninja, Qt and GoogleTest (the build configures the tests)
#   display  a virtual X server, the tools that drive a window on it, the design fonts
#   locale   a German locale (the tests prove that output never follows it)
#   fuzz     clang and its libFuzzer run-time
#   win32    the MinGW-w64 compiler, Wine and its fonts, socat (pty pairs as COM ports), the
#            Windows Installer tools (wixl builds the MSI, msitools reads it back),
#            osslsigncode and openssl (Authenticode signing and the test certificate)
#   package  building and checking the Debian package
#   a11y     the accessibility bus and a screen reader's Python bindings (AT-SPI), for the
#            test that reads the running program as a screen reader does
# scripts/run.sh needs build and display; scripts/test.sh adds what its stages need.
set -euo pipefail

declare -A group_packages=(
  [build]="build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev
           libgtest-dev libgmock-dev"
  [display]="xvfb xauth xdotool x11-utils imagemagick fonts-liberation2 fonts-dejavu-core"
  [locale]="locales"
  [fuzz]="clang libclang-rt-dev"
  [win32]="g++-mingw-w64-x86-64-posix wine wine64 fonts-wine socat wixl msitools osslsigncode
           openssl"
  [package]="dpkg-dev fakeroot file lintian appstream desktop-file-utils"
  [a11y]="dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0"
)

usage() {
  echo "usage: $0 GROUP...   (groups: build display locale fuzz win32 package a11y)" >&2
  exit 2
}
[ $# -gt 0 ] || usage

packages=()
for group in "$@"; do
  [ -n "${group_packages[$group]:-}" ] || usage
  # shellcheck disable=SC2206  # a group is a list of words
  packages+=(${group_packages[$group]})
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [[ " $* " == *" locale "* ]] && ! locale -a 2> /dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
