#!/usr/bin/env bash
# Installs the Debian packages the build needs, if any are missing.
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
          libqt5svg5-dev libsqlite3-dev sqlite3 libqwt-qt5-dev
          poppler-utils "$@") # poppler-utils: pdftotext for the service report tests

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
