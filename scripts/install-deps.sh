#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test LumvexIP.
# Idempotent: packages already present are skipped, and apt-get runs only when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev
  libcurl4-openssl-dev libssl-dev zlib1g-dev libboost-regex-dev libboost-dev libicu-dev nlohmann-json3-dev
  libsqlite3-dev sqlite3
  libglib2.0-dev gsettings-desktop-schemas libglib2.0-bin dbus glib-networking
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth trayer fonts-wqy-zenhei x11-utils xdotool
  kde-cli-tools
  dpkg-dev file python3
  squid tinyproxy microsocks dante-server chromium curl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
