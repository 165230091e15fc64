#!/usr/bin/env bash
# Opens albums made by <build-dir>/quorvel in headless Chromium and checks
# them as a visitor would (tests/browser/album.test.mjs), and the sample album
# in each theme at desktop and phone sizes (themes.test.mjs, which saves its
# screenshots in <build-dir>/screenshots/), -nav stepped through
# (nav.test.mjs), an album written with -out: apart from its library, from
# file:// and over HTTP (out.test.mjs), and -hidpi albums on a 3x phone and a
# 1x desktop (hidpi.test.mjs), and a phone's folder made with -today in every
# look (phone.test.mjs). Installs Chromium,
# Node.js and npm through apt-get when missing, and the pinned node modules
# with npm ci. Run as root on Debian 12.
#
#   scripts/browser-test.sh <build-dir>
#
# QUORVEL_KEEP_ALBUM=1 keeps the album that the test made and prints where.
set -euo pipefail

if (($# != 1)); then
  echo "usage: $0 <build-dir>" >&2
  exit 2
fi
quorvel="$(cd "$1" 2>/dev/null && pwd)/quorvel" || quorvel=""
if [[ ! -x "$quorvel" ]]; then
  echo "$0: no quorvel binary in $1: build it first" >&2
  exit 2
fi
cd "$(dirname "$0")/.."

missing=()
[[ -x /usr/bin/chromium ]] || missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if (($(node -p 'process.versions.node.split(".")[0]') < 20)); then
  echo "warning: playwright-core wants Node.js 20 or later; this is $(node --version)" >&2
fi

tests/browser/npm-ci.sh
cd tests/browser
QUORVEL="$quorvel" node --test --test-reporter=tap --test-timeout=120000 album.test.mjs themes.test.mjs nav.test.mjs out.test.mjs hidpi.test.mjs phone.test.mjs
