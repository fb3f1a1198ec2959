#!/bin/sh
# Installs DIR/node_modules exactly as DIR/package-lock.json pins it (npm ci), unless that lockfile is already
# installed: a stamp in node_modules records which lockfile was, so an edited lockfile is noticed without
# asking npm. Says WHAT it installs when it does.
#   scripts/npm-ci.sh DIR WHAT
set -eu
stamp=$1/node_modules/.velmorant-lock.sha256
want=$(sha256sum "$1/package-lock.json" | cut -d' ' -f1)
[ "$want" != "$(cat "$stamp" 2>/dev/null)" ] || exit 0
echo "$(basename "$0"): installing $2 with npm ci in $1"
(cd "$1" && npm ci --no-audit --no-fund --loglevel=error)
echo "$want" >"$stamp"
