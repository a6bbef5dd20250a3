#!/usr/bin/env bash
# Runs a test program that opens a GL window under Xvfb (tests/support/xvfb-window.sh), on
# another display when it cannot open one, and exits with the program's status.
#
#   under-xvfb.sh PROGRAM [ARGUMENT...]
set -euo pipefail
# shellcheck source=xvfb-window.sh
. "$(dirname "$0")/xvfb-window.sh"

if [ $# -lt 1 ] || [ "$1" = --help ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"
    [ $# -ge 1 ] && exit 0
    exit 2
fi
xvfb_run_self "$@"
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
LD_PRELOAD="$(xvfb_preload "$1")" "$@" 2>"$errors" || status=$?
cat "$errors" >&2
grep -q 'failed to open display' "$errors" && exit 3
exit "$status"
