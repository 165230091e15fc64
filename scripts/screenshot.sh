#!/usr/bin/env bash
# Saves a screenshot of an album with headless Chromium, where Chromium is
# installed; elsewhere it says so and does nothing (exit status 0).
#
#   scripts/screenshot.sh [--click-first] <quorvelFrameset.html> <out.png>
#
# --click-first clicks the first thumbnail so that a picture shows.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
options=()
if [[ "${1-}" == --click-first ]]; then
  options+=("$1")
  shift
fi
if (($# != 2)); then
  echo "usage: $0 [--click-first] <quorvelFrameset.html> <out.png>" >&2
  exit 2
fi
if [[ ! -x /usr/bin/chromium ]] || ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "no screenshot: Chromium or Node.js is not installed (scripts/browser-test.sh installs them)" >&2
  exit 0
fi

# Node reads its arguments as UTF-8, so a path holding other bytes (an
# ISO-8859-1 directory name) is handed over as a file:// URL with every byte
# outside the plain set escaped.
file_url() {
  local LC_ALL=C path out="" c i
  path="$(realpath -m -- "$1")"
  for ((i = 0; i < ${#path}; i++)); do
    c="${path:i:1}"
    case "$c" in
      [A-Za-z0-9/._~-]) out+="$c" ;;
      *) printf -v c '%%%02X' "'$c"; out+="$c" ;;
    esac
  done
  printf 'file://%s' "$out"
}

"$here/tests/browser/npm-ci.sh" >&2
node "$here/tests/browser/screenshot.mjs" "${options[@]}" "$(file_url "$1")" "$(file_url "$2")"
echo "screenshot saved: $2"
