#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian's packages, when missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  lrzsz
  fonts-liberation  # the windows' faces: Liberation Sans (dialogs), Liberation Serif (titles)
  clang libclang-rt-dev
  dpkg-dev file desktop-file-utils man-db
  xvfb xauth openbox xdotool  # the real-X suite (scripts/test-x11.sh) and bench/paced_loop.sh gui
  python3-xlib  # the desktop monkey's own windows and pings (tests/x11/monkey.py)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q "${missing[@]}"
