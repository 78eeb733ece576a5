#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Lobrana needs.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev libqt6sql6-sqlite
  libqt6svg6 qt6-qpa-plugins libgl-dev
  libsqlite3-dev libjpeg62-turbo-dev libtiff-dev libx11-dev libxtst-dev
  xvfb xauth x11-utils pulseaudio pulseaudio-utils fonts-liberation2 espeak-ng socat sox
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
