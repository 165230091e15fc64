#!/usr/bin/env bash
# Removes every file that quorvel wrote into an album tree, and nothing else,
# by calling quorvel's own cleaner (quorvel --clean), which knows the rules
# quorvel writes its files by. Run it where you ran quorvel: cv.html there
# goes too when it is quorvel's.
#
#   clean-album.sh [--force] <album-dir>
#
# --force cleans a folder with no page of a quorvel album at its top.
#
# The binary: $QUORVEL if set, else the one installed beside this script
# (<prefix>/share/quorvel/ -> <prefix>/bin/), else build/quorvel of the
# source tree, else quorvel on the PATH.
set -euo pipefail

if ! { (($# == 1)) || { (($# == 2)) && [[ "$1" == --force ]]; }; }; then
  echo "usage: $0 [--force] <album-dir>" >&2
  exit 2
fi
here="$(cd "$(dirname "$(readlink -f "$0")")" && pwd)"
quorvel="${QUORVEL:-}"
for candidate in "$here/../../bin/quorvel" "$here/../build/quorvel"; do
  [[ -z "$quorvel" && -x "$candidate" ]] && quorvel="$candidate"
done
exec "${quorvel:-quorvel}" --clean "$@"
