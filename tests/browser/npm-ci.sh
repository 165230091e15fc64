#!/usr/bin/env bash
# Installs the browser tests' node modules (playwright-core, pinned in
# package-lock.json) with `npm ci`, unless node_modules already holds exactly
# what the lock file names. npm's own copy of the lock file differs in form, so
# a copy of ours made after a complete install marks the tree as current.
set -euo pipefail
cd "$(dirname "$0")"

stamp=node_modules/.quorvel-package-lock.json
if ! cmp -s package-lock.json "$stamp"; then
  echo "npm ci in tests/browser"
  npm ci --no-audit --no-fund --loglevel=error
  cp package-lock.json "$stamp"
fi
