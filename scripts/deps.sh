#!/usr/bin/env bash
# Installs, through apt-get, whichever of the packages that quorvel's build
# and tests need is missing. Run as root on Debian 12.
set -euo pipefail

# The loaded libraries' development packages come from their table.
table="$(dirname "$0")/../src/img/format_libraries.list"
mapfile -t libraries < <(awk '/^[A-Za-z]/ && !seen[$5]++ { print $5 }' "$table")
((${#libraries[@]})) || { echo "deps: no library in $table" >&2; exit 1; }
packages=(cmake g++ make pkg-config libjpeg62-turbo-dev "${libraries[@]}" libgtest-dev libgmock-dev
          libbenchmark-dev dpkg-dev file libimage-exiftool-perl lintian
          imagemagick webp libheif-examples libavif-bin ffmpeg "$@")
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
