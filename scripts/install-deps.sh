#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Chronotally need.
# Idempotent: prints nothing and changes nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc
  tdsodbc unixodbc-dev libsqlite3-dev sqlite3
  libx11-dev xvfb xauth x11-apps xdotool imagemagick fonts-dejavu-core alsa-utils
  cups printer-driver-cups-pdf poppler-utils
  librsvg2-bin desktop-file-utils dpkg-dev lintian
  libqt6sql6-psql libpq-dev postgresql
  libsodium-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
