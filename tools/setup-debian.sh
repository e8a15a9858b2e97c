#!/usr/bin/env bash
# Installs what building, running and testing Pontvex needs on Debian 12.
# Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-serialport-dev libgl-dev
  # Qt's own Russian texts (qtbase_ru) for the standard dialogs
  qt6-translations-l10n
  libgtest-dev googletest
  clang libclang-rt-14-dev clang-format
  # real tools whose output files the file-format tests load
  sdcc gputils srecord gcc-avr avr-libc binutils-avr binutils mame-tools
  # looking at real windows
  xvfb xauth imagemagick fonts-dejavu-core fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
