#!/usr/bin/env bash
# Installs what the kit's tests (tests/kit) need, and only what is missing:
# Java for Apache Royale's compiler, Node.js, and tests/kit/node_modules as
# pinned by its package-lock.json. Quick when everything is already there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tests=$root/tests/kit
stamp=$tests/node_modules/.velmorant-lock.sha256

say() { printf 'install-kit-tools: %s\n' "$*"; }

apt_install() {
    local runner=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || { say "need root (or sudo) to install: $*" >&2; exit 1; }
        runner=(sudo)
    fi
    # Slim Debian images lack the man folders the JRE's post-install links into.
    "${runner[@]}" mkdir -p /usr/share/man/man1
    "${runner[@]}" "$root/scripts/apt-install.sh" --no-install-recommends "$@"
}

if ! command -v java >/dev/null 2>&1; then
    say "installing Java (openjdk-17-jre-headless)"
    apt_install openjdk-17-jre-headless
fi

if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    say "installing Node.js and npm"
    apt_install nodejs npm
fi

# npm ci wipes node_modules and installs exactly the lockfile; the stamp records
# which lockfile that was, so an edited lockfile is noticed without asking npm.
want=$(sha256sum "$tests/package-lock.json" | cut -d' ' -f1)
have=$(cat "$stamp" 2>/dev/null || true)
if [ "$want" != "$have" ] \
    || [ ! -x "$tests/node_modules/.bin/asnodec" ] \
    || [ ! -f "$tests/node_modules/fast-xml-parser/package.json" ]; then
    say "npm ci in tests/kit"
    (cd "$tests" && npm ci --no-audit --no-fund)
    printf '%s\n' "$want" >"$stamp"
fi
