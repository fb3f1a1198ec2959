#!/bin/sh
# scripts/apt-install.sh against a stand-in apt-get that fails the calls it is told to: an index that fails
# once, an install that fails on version skew, and a mirror that answers nothing; against a stand-in apt-cache
# that offers some packages, for the names that are installed only where the release offers them; and as a user,
# through a stand-in sudo.
set -u
here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../scripts/apt-install.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release && printf '%s' "$VERSION_CODENAME")

mkdir "$work/bin"
cat >"$work/bin/apt-get" <<'STAND_IN'
#!/bin/sh
# Records its arguments; fails call number N when N is in $FAIL_CALLS, or every call for "all".
echo "$*" >>"$CALLS"
n=$(wc -l <"$CALLS")
case " $FAIL_CALLS " in
    *" $n "* | " all ") ;;
    *) exit 0 ;;
esac
case "$1" in
    update) echo "E: Failed to fetch http://mirror.invalid/i386/Packages.xz  File has unexpected size" ;;
    *) echo "E: Unable to correct problems, you have held broken packages." ;;
esac
exit 100
STAND_IN
# apt-cache madison NAME lists a version of the packages in $OFFERED, and nothing of others, as it does of a
# name that is only mentioned; sudo records that it ran the command; id -u says $USER_ID.
cat >"$work/bin/apt-cache" <<'STAND_IN'
#!/bin/sh
case " $OFFERED " in *" $2 "*) echo "$2 | 1.0 | http://mirror.invalid main amd64 Packages" ;; esac
exit 0
STAND_IN
printf '#!/bin/sh\necho "sudo $1" >>"$CALLS"\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/bin/sh\necho "$USER_ID"\n' >"$work/bin/id"
chmod +x "$work/bin/apt-get" "$work/bin/apt-cache" "$work/bin/sudo" "$work/bin/id"

failures=0
# expect NAME FAIL_CALLS EXIT_STATUS CALL... : runs the script on $packages, with $offered offered and as user
# $user_id, and compares its exit status and the calls.
packages='pkg-a pkg-b' offered= user_id=0
expect() {
    name=$1 fail=$2 want_status=$3
    shift 3
    : >"$work/calls"
    # shellcheck disable=SC2086 # one argument per package
    PATH="$work/bin:$PATH" CALLS="$work/calls" FAIL_CALLS="$fail" OFFERED="$offered" USER_ID="$user_id" \
        VELMORANT_APT_PAUSE=0 "$script" $packages >"$work/out" 2>&1
    status=$?
    printf '%s\n' "$@" >"$work/want"
    if [ "$status" -ne "$want_status" ] || ! cmp -s "$work/want" "$work/calls"; then
        echo "FAIL $name: exit $status (want $want_status); calls:"
        cat "$work/calls"
        echo "wanted:"
        cat "$work/want"
        failures=$((failures + 1))
        return
    fi
    echo "ok   $name"
}

expect "an index that fails once is fetched again" "1" 0 \
    "update -q" "update -q" "install -y -q pkg-a pkg-b"
expect "an install that fails on version skew is tried with -t $codename" "2" 0 \
    "update -q" "install -y -q pkg-a pkg-b" "install -y -q -t $codename pkg-a pkg-b"
expect "nothing answers: a few tries, then a failure" "all" 1 \
    "update -q" "update -q" "update -q" "install -y -q pkg-a pkg-b" "install -y -q -t $codename pkg-a pkg-b"
if ! grep -q "the index that did not download: http://mirror.invalid/i386/Packages.xz" "$work/out" ||
    ! grep -q "apt-get install (also with -t $codename) failed for: pkg-a pkg-b" "$work/out"; then
    echo "FAIL the last failure's message names neither the index nor the command:"
    cat "$work/out"
    failures=$((failures + 1))
fi
packages='pkg-a pkg-b? pkg-c?' offered=pkg-b
expect "a name ending in ? is installed where the release offers it" "" 0 "update -q" "install -y -q pkg-a pkg-b"
packages='pkg-a pkg-b' user_id=1000
expect "a user runs apt-get through sudo, and nothing else" "" 0 \
    "sudo env" "update -q" "sudo env" "install -y -q pkg-a pkg-b"
[ "$failures" -eq 0 ]
