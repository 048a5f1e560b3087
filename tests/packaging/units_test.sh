#!/usr/bin/env bash
# Verifies the timer units as systemd reads them: units_test.sh UNIT_DIR TIDEWELL
# The units are checked for site 3 with ExecStart pointed at the TIDEWELL just built (systemd
# refuses a command that is not there). Any complaint fails the test: systemd only warns about
# an unknown or misspelt setting and ignores it, which would silently drop sandboxing.
set -euo pipefail
units=$1
tidewell=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed "s|^ExecStart=[^ ]*/tidewell |ExecStart=$tidewell |" "$units/tidewell-poll@.service" \
    >"$work/tidewell-poll@.service"
cp "$units/tidewell-poll@.timer" "$work/"
grep -q "^ExecStart=$tidewell " "$work/tidewell-poll@.service"

status=0
output=$(systemd-analyze verify --man=no "$work/tidewell-poll@3.service" \
             "$work/tidewell-poll@3.timer" 2>&1) || status=$?
if ((status != 0)) || [[ -n $output ]]; then
    echo "systemd-analyze verify (exit $status):"
    echo "$output"
    exit 1
fi
echo "ok: tidewell-poll@.service and tidewell-poll@.timer verify clean"
