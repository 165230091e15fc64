#!/usr/bin/env bash
# Installs, through apt-get, whichever of the packages that quorvel's build
# and tests need is missing. Run as root on Debian 12.
set -euo pipefail

packages=(cmake g++ make pkg-config libjpeg62-turbo-dev libgd-dev libgtest-dev libgmock-dev
          libbenchmark-dev dpkg-dev file libimage-exiftool-perl lintian
          libpng-dev libwebp-dev libheif-dev imagemagick webp libheif-examples libavif-bin "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
