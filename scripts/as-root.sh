#!/bin/sh
# Runs a command as root: as it is for root, through sudo for a user. The install scripts run apt-get and dpkg
# this way, and nothing else, so that everything they build belongs to whoever runs them.
#   scripts/as-root.sh COMMAND [ARG...]
[ "$(id -u)" -ne 0 ] || exec "$@"
exec sudo "$@"
