#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: when everything is there it only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-dev
  g++-mingw-w64-x86-64-posix wine wine64
  xvfb xauth xdotool x11-utils imagemagick socat
  fonts-liberation2 fonts-dejavu-core fonts-wine
  locales
  dpkg-dev fakeroot file lintian appstream desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests also run under a German locale, to prove that output never follows it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

