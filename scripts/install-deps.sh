#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the project needs.
# Quick no-op when they are all present. Run as root (or through sudo).
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libqt6dbus6 qt6-charts-dev libqt6opengl6-dev
  libcurl4-openssl-dev libssl-dev
  mdbtools-dev libglib2.0-dev
  libcpp-httplib-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  clang libclang-rt-14-dev universal-ctags
  fonts-ipafont-gothic xvfb xauth x11-apps imagemagick dbus
  librsvg2-bin file dpkg-dev lintian appstream desktop-file-utils systemd libsystemd-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
