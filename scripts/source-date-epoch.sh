#!/bin/sh
# Writes the checked-out commit's time (seconds since 1970, UTC) to FILE, leaving FILE alone when it already
# holds it: every timestamp in the package and the archive is this one, so the same commit makes the same
# bytes. Outside a git checkout, 1980-01-01, the earliest time a zip entry can carry.
#   scripts/source-date-epoch.sh FILE
set -eu
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
[ "$(cat "$1" 2>/dev/null)" = "$epoch" ] || echo "$epoch" >"$1"
