#!/usr/bin/env bash
# Installs every package Corvel needs to build, run and test on Debian 12.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # libraries
  libfltk1.3-dev libgl-dev libsdl2-dev libpng-dev libx11-dev
  # 6502 assembler for our cartridges
  cc65
  # tests
  libgtest-dev googletest
  # fuzzing
  clang libclang-rt-14-dev
  # desktop tests and picture checks
  xvfb xauth xdotool imagemagick x11-utils sox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
