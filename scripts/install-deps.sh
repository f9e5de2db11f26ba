#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Qarvel.
# Idempotent: when everything is already installed it returns in a moment.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6test6 libqt6dbus6
  libjpeg-dev libfontconfig-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool xclip dbus-x11 x11-utils imagemagick
  fonts-wqy-microhei fonts-arphic-uming
  fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
  ibus ibus-libpinyin libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
