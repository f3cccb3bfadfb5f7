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
)
[ "${TARVEL_WITH_XVFB:-0}" = 1 ] && packages+=(xvfb xauth)
# bench/paced_loop.sh gui: the windowed program on a virtual display with a window manager.
[ "${TARVEL_WITH_BENCH_GUI:-0}" = 1 ] && packages+=(xvfb openbox xdotool)

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
