#!/usr/bin/env bash
# Builds quorvel and makes the album of the bundled sample tree in
# build/sample-album (the samples/ directory itself stays untouched).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

rm -rf build/sample-album
cp -r samples build/sample-album
(cd build && ./quorvel sample-album -mp3 -video -shadow "-infoText:click the picture to see it whole")

album="$(pwd)/build/sample-album/quorvelFrameset.html"
# Where Chromium is installed, a first look at the album without opening it.
scripts/screenshot.sh --click-first "$album" build/sample-album/screenshot.png || true
echo
echo "Album made: open file://$album"
