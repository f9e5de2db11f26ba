#!/usr/bin/env bash
# Installs the Debian packages Qarvel needs:
#   install-deps.sh        (or "run") what building and running the program need;
#   install-deps.sh test   that, and what the tests and the package checks need.
# Idempotent: when everything is already installed it returns in a moment.
set -euo pipefail

# Building and running: compiler, Qt, the libraries the program links (the
# spreadsheet writer of qarvel-results among them), a Chinese serif face with a
# Latin serif beside it, Qt's Wayland platform and an input method to type
# Chinese with.
run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6dbus6
  libfcitx5-qt6-dev libglib2.0-dev qt6-translations-l10n
  libjpeg-dev libfontconfig-dev libxcb1-dev libxlsxwriter-dev
  fonts-wqy-microhei fonts-arphic-uming fonts-liberation2
  qt6-wayland
  fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
)

# Testing: test frameworks, the sanitizer and fuzzing runtime, the formatter,
# the X server and tools the end-to-end tests drive the program with, the
# second input-method framework, other desktops (a dark style, a window
# manager, a Wayland compositor), the tools that build and check the Debian
# package, and a browser and a spreadsheet program that open the teacher's
# report and spreadsheet.
test_packages=(
  clang clang-format libclang-rt-14-dev
  libqt6test6 libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool xclip dbus-x11 x11-utils imagemagick strace jq bc time
  ibus ibus-libpinyin libglib2.0-bin
  at-spi2-core python3-gi gir1.2-atspi-2.0 gir1.2-ibus-1.0
  adwaita-qt6 openbox weston xwayland
  dpkg-dev apt-utils fakeroot file lintian desktop-file-utils appstream
  chromium libreoffice-calc-nogui unzip poppler-utils
)

case "${1:-run}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

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
