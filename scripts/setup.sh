#!/usr/bin/env bash
# Installs the system packages that building and testing Trovix need on
# Debian 12. Packages already present are skipped; the package lists are
# refreshed only when something must be installed.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  qt6-base-dev libgl-dev libqt6sql6-sqlite  # the SQL driver keeps library runs' state
  libtag1-dev libcurl4-openssl-dev libcpp-httplib-dev zlib1g-dev libssl-dev
  libflac-dev libvorbis-dev libogg-dev libopus-dev
  libmimalloc2.0  # the programs' allocator
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev lld  # the sanitizer tree; lld links the test run's trees
  xvfb xauth
  libnautilus-extension-dev
  dbus dbus-daemon
  desktop-file-utils appstream
  python3-mutagen ffmpeg  # other programs read the files the tests save
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
