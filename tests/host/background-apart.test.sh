#!/bin/sh
# While a program runs under wine-run, no process but its own writes to its standard error: Wine's background
# processes (services, the device drivers, the desktop) were started apart and write to a log of their own, and
# a session that goes well leaves it empty. Run without XDG_RUNTIME_DIR, as in CI and containers, the program
# gets one of wine-run's, private to the user (Wine 10's Wayland driver complains without one).
#   background-apart.test.sh WINE_RUN HOST MODULE
set -u
work=$(mktemp -d)
trap 'exec 3>&-; rm -rf "$work"' EXIT
mkfifo "$work/input"
env -u XDG_RUNTIME_DIR "$1" "$2" "$3" - <"$work/input" >"$work/out" 2>"$work/err" &
exec 3>"$work/input"
echo system >&3
# The host answers once it is up, and with it every process it made Wine start.
for _ in $(seq 600); do
    [ -s "$work/out" ] && break
    sleep 0.1
done
# Every process with the program's standard error open, one a line; and the program's XDG_RUNTIME_DIR.
for process in /proc/[0-9]*; do
    [ "$(readlink "$process/fd/2" 2>/dev/null)" = "$work/err" ] || continue
    tr '\0' ' ' <"$process/cmdline" && echo
    tr '\0' '\n' <"$process/environ" | sed -n 's/^XDG_RUNTIME_DIR=//p' >"$work/runtime"
done >"$work/writers"
runtime=$(cat "$work/runtime" 2>/dev/null)
exec 3>&-
wait
if ! grep -q 'velmorant-host\.exe' "$work/writers"; then
    echo "FAIL: the host did not answer: $(cat "$work/out" "$work/err")"
    exit 1
fi
if [ "$(wc -l <"$work/writers")" -ne 1 ]; then
    echo "FAIL: other processes write to the program's standard error:"
    cat "$work/writers"
    exit 1
fi
if [ ! -d "$runtime" ] || [ "$(stat -c %a:%u "$runtime")" != "700:$(id -u)" ]; then
    echo "FAIL: the program's XDG_RUNTIME_DIR, '$runtime', is not a folder of the user's, mode 0700"
    exit 1
fi
if [ -s "$work/err" ]; then
    echo "FAIL: a session that went well wrote to standard error:"
    cat "$work/err"
    exit 1
fi
echo "only the program writes to its standard error, and it wrote nothing"
