#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need. Idempotent:
# does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  zlib1g-dev libminizip-dev libxxhash-dev
  libxerces-c-dev xsdcxx
  libfreeimage-dev libtiff-dev libboost-dev librapidxml-dev libutfcpp-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 libxml2-utils
  libreoffice-impress-nogui poppler-utils imagemagick
  libgtk-3-dev adwaita-icon-theme fonts-dejavu-core xvfb xauth dbus-daemon
  desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin man-db
  dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
