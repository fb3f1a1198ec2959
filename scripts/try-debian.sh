#!/bin/sh
# Tries the README's two commands as a new user meets them: in a fresh minimal Debian root made by debootstrap
# (--variant=minbase, with nothing added but git, and sudo for --user), on a fresh clone of the checked-out
# commit, in a bare environment (no XDG_RUNTIME_DIR, no DISPLAY, no desktop session), as root or as a normal user
# who may use sudo. It says what it ran and how long each command took; with --user, also whether everything
# under build/ belongs to the user.
#   scripts/try-debian.sh RELEASE [--user] [--keep]     e.g. scripts/try-debian.sh trixie --user
# RELEASE is a Debian code name (bookworm, trixie). Run it as root, on Debian: it downloads the whole toolchain
# into the root, so it is no part of the test command. The root is build/try-debian/RELEASE[-user], made from
# the mirror this machine's own apt sources name, and removed afterwards unless the run failed or --keep is
# given. It trusts what this machine trusts: the added CA certificates and npm's settings are copied in. Its
# mounts live in a mount namespace of their own, and a root with anything mounted in it is never removed.
set -eu
cd "$(dirname "$0")/.."
repo=$(pwd)

say() { echo "try-debian: $*"; }
usage() { echo "usage: scripts/try-debian.sh RELEASE [--user] [--keep]" >&2; exit 2; }

release=${1-}
case "$release" in "" | -*) usage ;; esac
shift
as_user= keep=
for option in "$@"; do
    case "$option" in
        --user) as_user=1 ;;
        --keep) keep=1 ;;
        *) usage ;;
    esac
done
[ "$(id -u)" -eq 0 ] || { say "debootstrap, chroot and mount need root: run it as root"; exit 1; }
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain)" ] || say "the checkout has uncommitted changes; only commit $commit is tried"
command -v debootstrap >/dev/null || scripts/apt-install.sh --no-install-recommends debootstrap

root=$repo/build/try-debian/$release${as_user:+-user}
user=root home=/root
if [ -n "$as_user" ]; then
    user=velmorant home=/home/velmorant
fi

# The processes whose root is the try's root: a daemon left there (a wineserver) would keep its mounts alive.
processes_inside() {
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/root" 2>/dev/null)" = "$root" ] && echo "${process#/proc/}"
    done
    return 0
}
stop_processes_inside() {
    for pid in $(processes_inside); do kill -9 "$pid" 2>/dev/null || true; done
}
remove_root() {
    [ -e "$root" ] || return 0
    stop_processes_inside
    sleep 1
    if grep -q " $root/" /proc/*/mountinfo 2>/dev/null || [ -n "$(processes_inside)" ]; then
        say "$root still has something mounted in it or a process running there: not removed"
        return 1
    fi
    rm -rf "$root"
}

# The mirror of this machine's own Debian sources: the first that serves its release's main suite. Without
# one, debootstrap takes its default.
host_codename=$(. /etc/os-release && printf '%s' "${VERSION_CODENAME-}")
mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk -v suite="$host_codename" '
    /^URIs:/ { uri = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) found = 1 }
    /^$/ { if (found && uri) print uri; uri = ""; found = 0 } END { if (found && uri) print uri }' | head -n 1)
[ -n "$mirror" ] || mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v suite="$host_codename" '$1 == "deb" { sub(/\[[^]]*\] */, ""); if ($3 == suite) print $2 }' | head -n 1)

remove_root
mkdir -p "$(dirname "$root")"
say "making a minimal Debian $release root in $root${mirror:+ from $mirror}"
debootstrap --variant=minbase --include="git${as_user:+,sudo}" "$release" "$root" ${mirror:+"$mirror"} >"$root.debootstrap.log" 2>&1 ||
    { say "debootstrap failed; its log: $root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"

# What this machine trusts, for apt, npm and Java alike: its added CA certificates, its certificate bundle (the
# root's own is made again from both if a package installs ca-certificates) and npm's settings.
if [ -d /usr/local/share/ca-certificates ]; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -R /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
fi
if [ -f /etc/ssl/certs/ca-certificates.crt ]; then
    mkdir -p "$root/etc/ssl/certs"
    cp /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/"
fi
for npmrc in /etc/npmrc /usr/etc/npmrc; do
    if [ -f "$npmrc" ]; then
        mkdir -p "$root$(dirname "$npmrc")"
        cp "$npmrc" "$root$npmrc"
    fi
done

# The names a machine knows itself by, which sudo looks up.
cp /etc/hosts "$root/etc/hosts"
if [ -n "$as_user" ]; then
    chroot "$root" useradd --create-home --shell /bin/sh "$user"
    echo "$user ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
    chmod 0440 "$root/etc/sudoers.d/$user"
fi
[ ! -f "${HOME:-/root}/.npmrc" ] || cp "${HOME:-/root}/.npmrc" "$root$home/.npmrc"
git clone -q --no-hardlinks "$repo" "$root$home/VelmorantUtils"
git -C "$root$home/VelmorantUtils" checkout -q --detach "$commit"
ids=$(awk -F: -v user="$user" '$1 == user { print $3 ":" $4 }' "$root/etc/passwd")
chown -R "$ids" "$root$home"

# The two commands, each timed, in a bare environment: only what a login gives, and a proxy where this machine
# uses one. Mounts are made in a namespace of this run's own, which ends with it.
proxies=$(env | grep -iE '^(https?|no)_proxy=' | tr '\n' ' ' || true)
status=0
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --mount --propagation private sh -c '
    root=$1 ids=$2 home=$3 user=$4 proxies=$5 status=0
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    for command in scripts/build.sh scripts/test.sh; do
        echo "try-debian: running $command as $user in $root$home/VelmorantUtils"
        start=$(date +%s)
        # shellcheck disable=SC2086 # one assignment per proxy variable
        chroot --userspec="$ids" "$root" env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/sh \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin $proxies \
            sh -c "cd \"\$HOME/VelmorantUtils\" && $command" </dev/null || status=$?
        took=$(($(date +%s) - start))
        verdict=passed
        [ "$status" -eq 0 ] || verdict="FAILED (exit status $status)"
        echo "try-debian: $command $verdict in $((took / 60)) min $((took % 60)) s"
        [ "$status" -eq 0 ] || exit "$status"
    done
' sh "$root" "$ids" "$home" "$user" "$proxies" || status=$?

if [ "$status" -eq 0 ] && [ -n "$as_user" ]; then
    strangers=$(find "$root$home/VelmorantUtils/build" ! -user "${ids%%:*}" | head -n 5)
    if [ -n "$strangers" ]; then
        say "FAILED: files under build/ that do not belong to $user, among them:"
        echo "$strangers"
        status=1
    else
        say "everything under build/ belongs to $user"
    fi
fi
stop_processes_inside
if [ "$status" -ne 0 ] || [ -n "$keep" ]; then
    say "the root is kept in $root; the next try of the same release removes it first"
    exit "$status"
fi
remove_root
say "Debian $release as $user: both commands passed"
