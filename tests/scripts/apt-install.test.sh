#!/bin/sh
# scripts/apt-install.sh against a stand-in apt-get that fails the calls it is told to: an index that fails
# once, an install that fails on version skew, and a mirror that answers nothing.
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
chmod +x "$work/bin/apt-get"

failures=0
# expect NAME FAIL_CALLS EXIT_STATUS CALL... : runs the script and compares its exit status and the calls.
expect() {
    name=$1 fail=$2 want_status=$3
    shift 3
    : >"$work/calls"
    PATH="$work/bin:$PATH" CALLS="$work/calls" FAIL_CALLS="$fail" VELMORANT_APT_PAUSE=0 \
        "$script" pkg-a pkg-b >"$work/out" 2>&1
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
[ "$failures" -eq 0 ]
