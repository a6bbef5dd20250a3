#!/usr/bin/env bash
# Drives the interactive program under Xvfb with a storm of random key presses: first space
# (pause: the scene stays in view and every frame still draws and prints), then random presses of
# every bound key but space, of unbound keys and of special keys (never Escape), in batches over
# the given time, and finally Escape. Checks that the program kept printing through every batch,
# that it exited with status 1, and that no sanitizer report appeared on its standard error.
#
# Usage: keystorm.sh SPHERE_DEMO [--keys N] [--seconds S] [--seed R] [--work DIR]
#   defaults: 2000 keys over 30 seconds, seed 1; the program's output is kept in DIR if given.
set -euo pipefail
# shellcheck source=../support/xvfb-window.sh
. "$(dirname "$0")/../support/xvfb-window.sh"

if [ $# -lt 1 ] || [ "$1" = "--help" ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"
    [ $# -ge 1 ] && exit 0
    exit 2
fi

# Runs itself under Xvfb, on another display when one is not usable.
xvfb_run_self "$@"

demo=$1
shift
keyCount=2000 seconds=30 seed=1 work=""
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || { echo "keystorm.sh: $1 needs a value" >&2; exit 2; }
    case $1 in
    --keys) keyCount=$2 ;;
    --seconds) seconds=$2 ;;
    --seed) seed=$2 ;;
    --work) work=$2 ;;
    *) echo "keystorm.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift 2
done
for value in "$keyCount" "$seconds" "$seed"; do
    [[ $value =~ ^[0-9]+$ ]] || { echo "keystorm.sh: '$value' is not a whole number" >&2; exit 2; }
done
[ -x "$demo" ] || { echo "keystorm.sh: $demo is not an executable" >&2; exit 2; }
if [ -z "$work" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

fail() {
    echo "keystorm.sh: FAILED: $*" >&2
    echo "--- last lines of the program's standard error:" >&2
    tail -n 40 "$work/stderr.txt" >&2 || true
    kill "$pid" 2>/dev/null || true
    exit 1
}

# In a build with AddressSanitizer, Mesa's driver is preloaded (see xvfb_preload).
LD_PRELOAD="$(xvfb_preload "$demo")" "$demo" >"$work/stdout.txt" 2>"$work/stderr.txt" &
pid=$!
xvfb_wait_window "$pid" 'GLUT app' "$work/stderr.txt"
xdotool key space
# The storm starts once the first frame has printed (a sanitized build starts slowly).
for _ in $(seq 300); do
    [ -s "$work/stdout.txt" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its first frame"
    sleep 0.1
done
[ -s "$work/stdout.txt" ] || fail "no line printed within 30 seconds of start-up"

# Every bound key but space, unbound characters, and special keys (arrows, function keys).
bound=(q a z Q A Z w s x W S X b)
unbound=(c e m 1 9 Return Tab period slash minus)
special=(Up Down Left Right F1 F2 F5 F10 F12 Home End Prior Next Insert)
pool=("${bound[@]}" "${bound[@]}" "${unbound[@]}" "${special[@]}")
RANDOM=$seed

batches=20
perBatch=$(((keyCount + batches - 1) / batches))
delayMs=$((seconds * 1000 / keyCount))
lines() { wc -l <"$work/stdout.txt"; }
sent=0
before=$(lines)
first=$before
for ((batch = 0; batch < batches && sent < keyCount; ++batch)); do
    keys=()
    for ((i = 0; i < perBatch && sent < keyCount; ++i, ++sent)); do
        keys+=("${pool[RANDOM % ${#pool[@]}]}")
    done
    kill -0 "$pid" 2>/dev/null || fail "the program ended during batch $batch"
    xdotool key --delay "$delayMs" "${keys[@]}"
    after=$(lines)
    [ "$after" -gt "$before" ] || fail "no line printed during batch $batch ($after lines)"
    before=$after
done

xdotool key Escape
status=0
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program still runs 30 seconds after Escape"
wait "$pid" || status=$?
[ "$status" -eq 1 ] || fail "the program exited with status $status, not 1"
if grep -E -q 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$work/stderr.txt"; then
    fail "a sanitizer report on standard error"
fi
echo "keystorm: $sent keys in $batches batches over about $seconds s, then Escape: exit status" \
    "$status, $first -> $(lines) lines printed, no sanitizer report"
