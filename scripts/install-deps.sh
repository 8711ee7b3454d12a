#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: when everything is there it only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-dev
  g++-mingw-w64-x86-64-posix
  xvfb xauth xdotool x11-utils imagemagick socat
  fonts-liberation2 fonts-dejavu-core fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
