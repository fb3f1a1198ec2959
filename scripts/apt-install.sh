#!/bin/sh
# Installs Debian packages, riding out a package mirror that is part-way through a sync:
#   scripts/apt-install.sh [APT-GET-INSTALL-OPTION...] PACKAGE... [PACKAGE?...]
# A name ending in ? is installed only where the running release offers it: a package that one Debian release
# needs and the next one has dropped is named so, by what the release's indexes hold, never by its name.
# A mid-sync mirror serves an index whose size no longer matches its Release file, so `apt-get update` fails
# that one index. It is tried a few times, seconds apart; when an index still fails, the install goes ahead with
# what did download. With one suite's index missing, a multi-arch package can be offered at one version for
# amd64 and another for i386, and the install fails on that skew: it is then tried once more preferring the
# release's main suite (`-t CODENAME`), which serves both at one version. As root, or as a user through sudo:
# then apt-get alone runs as root (sudo passes on no environment: the frontend is set on its command line).
set -u
as_root=$(dirname "$0")/as-root.sh

say() { echo "apt-install: $*" >&2; }
apt_get() { "$as_root" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

tries=${VELMORANT_APT_TRIES:-3}
pause=${VELMORANT_APT_PAUSE:-5}

log=$(mktemp)
trap 'rm -f "$log"' EXIT

failed_index=
try=1
while :; do
    apt_get update -q >"$log" 2>&1
    status=$?
    cat "$log"
    # "E: Failed to fetch URL  reason": the index that did not come, named in the final message.
    failed_index=$(sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | head -n 1)
    [ "$status" -eq 0 ] && [ -z "$failed_index" ] && break
    if [ "$try" -ge "$tries" ]; then
        say "apt-get update still failed after $tries tries${failed_index:+ ($failed_index)}; going on with the" \
            "indexes that did download"
        break
    fi
    try=$((try + 1))
    sleep "$pause"
done

# Each NAME? becomes NAME where the indexes offer a version of it, and is left out where they do not (a name
# that is only mentioned, as by a package that once depended on it, is not offered).
for argument in "$@"; do
    shift
    case "$argument" in
        *\?) [ -z "$(apt-cache madison "${argument%?}" 2>/dev/null)" ] || set -- "$@" "${argument%?}" ;;
        *) set -- "$@" "$argument" ;;
    esac
done

apt_get install -y -q "$@" && exit 0

codename=$(. /etc/os-release 2>/dev/null && printf '%s' "${VERSION_CODENAME:-}")
if [ -n "$codename" ]; then
    say "apt-get install failed; trying once more with -t $codename, since a suite whose index is missing or" \
        "out of step can offer a package's architectures at different versions"
    apt_get install -y -q -t "$codename" "$@" && exit 0
fi

say "apt-get install ${codename:+(also with -t $codename) }failed for: $*"
if [ -n "$failed_index" ]; then
    say "the index that did not download: $failed_index; the mirror may be mid-sync: try again in a few minutes"
else
    say "check the package names and the network (apt-get update must reach the mirror), then try again"
fi
exit 1
