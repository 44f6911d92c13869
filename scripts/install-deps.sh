#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quillmere needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential g++ cmake make pkg-config ccache
  libfreeimage-dev libraw-bin libraw-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libqt6svg6
  libarchive-dev libexiv2-dev libtiff-dev libjpeg-dev liblcms2-dev
  libgtest-dev googletest
  fonts-liberation fontconfig libfontconfig-dev
  clang libclang-rt-14-dev
  hyperfine exiv2 libtiff-tools time valgrind strace
  libimage-exiftool-perl
  xvfb xauth xdotool x11-utils openbox imagemagick parallel
  dpkg-dev file desktop-file-utils appstream man-db shared-mime-info
  at-spi2-core python3-pyatspi dbus-x11
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
