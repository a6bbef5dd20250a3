#!/usr/bin/env bash
# Drives a window program (sphere-demo or sphere-view) under Xvfb with a storm of random key
# presses: first space (pause: the scene stays in view and every frame still draws and prints),
# then random presses of every bound key but space (and sphere-view's freeze and step), of
# unbound keys and of special keys (never Escape), in batches over the given time, and finally
# Escape. With --resizes a quarter of the events are clicks, drags and resizes of the window, a
# third of those to sizes beyond the renderer's limit (32767 x 32767, 100000 x 100000). Checks
# that the program kept printing through every batch, that Escape ended it with its status (1
# for sphere-demo, 0 for sphere-view, whose --trace is then in place and no temporary file
# left), and that no X error and no sanitizer report appeared on its standard error.
#
# Usage: keystorm.sh PROGRAM [--keys N] [--seconds S] [--seed R] [--work DIR] [--resizes]
#   defaults: 2000 events over 30 seconds, seed 1; the program's output is kept in DIR if given.
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
keyCount=2000 seconds=30 seed=1 work="" resizes=0
while [ $# -gt 0 ]; do
    [ "$1" = --resizes ] && { resizes=1; shift; continue; }
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

# Every bound key but space, unbound characters, and special keys (arrows, function keys).
bound=(q a z Q A Z w s x W S X b)
title='GLUT app' escapeStatus=1 arguments=()
if [ "$(basename "$demo")" = sphere-view ]; then
    # Its own keys too, but neither freeze nor one frame: the frames must go on printing.
    bound+=(n p u t h r plus minus 0 1 2 3 4 5)
    title=sphere-view escapeStatus=0 arguments=(--trace "$work/trace.csv")
fi
rm -f "$work"/trace.csv*

# In a build with AddressSanitizer, Mesa's driver is preloaded (see xvfb_preload).
LD_PRELOAD="$(xvfb_preload "$demo")" "$demo" "${arguments[@]}" >"$work/stdout.txt" \
    2>"$work/stderr.txt" &
pid=$!
xvfb_wait_window "$pid" "$title" "$work/stderr.txt"
xdotool key space
# The storm starts once the first frame has printed (a sanitized build starts slowly).
for _ in $(seq 300); do
    [ -s "$work/stdout.txt" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its first frame"
    sleep 0.1
done
[ -s "$work/stdout.txt" ] || fail "no line printed within 30 seconds of start-up"

unbound=(c e m 1 9 Return Tab period slash minus)
special=(Up Down Left Right F1 F2 F5 F10 F12 Home End Prior Next Insert)
pool=("${bound[@]}" "${bound[@]}" "${unbound[@]}" "${special[@]}")
RANDOM=$seed

batches=20
perBatch=$(((keyCount + batches - 1) / batches))
delay=$(awk -v ms=$((seconds * 1000 / keyCount)) 'BEGIN { printf "%.3f", ms / 1000 }')
# One random event as xdotool commands: mostly a key; with --resizes also a click or a drag
# somewhere in the first 800 x 600 pixels, or a resize (beyond the limit a third of the time).
huge=("32767 32767" "100000 100000")
event() {
    local kind=$((resizes ? RANDOM % 16 : 0))
    if [ "$kind" -lt 12 ]; then
        echo "key ${pool[RANDOM % ${#pool[@]}]}"
    elif [ "$kind" -eq 12 ]; then
        echo "mousemove $((RANDOM % 800)) $((RANDOM % 600)) click 1"
    elif [ "$kind" -eq 13 ]; then
        local button=$((1 + RANDOM % 3))
        echo "mousemove $((RANDOM % 800)) $((RANDOM % 600)) mousedown $button" \
            "mousemove_relative -- $((RANDOM % 200 - 100)) $((RANDOM % 200 - 100)) mouseup $button"
    elif [ "$kind" -eq 14 ]; then
        echo "windowsize $window ${huge[RANDOM % 2]}"
    else
        echo "windowsize $window $((100 + RANDOM % 1500)) $((100 + RANDOM % 1100))"
    fi
}
lines() { wc -l <"$work/stdout.txt"; }
sent=0
before=$(lines)
first=$before
for ((batch = 0; batch < batches && sent < keyCount; ++batch)); do
    commands=()
    for ((i = 0; i < perBatch && sent < keyCount; ++i, ++sent)); do
        read -r -a words <<<"$(event)"
        commands+=("${words[@]}" sleep "$delay")
    done
    kill -0 "$pid" 2>/dev/null || fail "the program ended during batch $batch"
    xdotool "${commands[@]}" 2>/dev/null
    # A picture of a window at the renderer's limit takes seconds: its line may come late.
    for _ in $(seq 300); do
        [ "$(lines)" -gt "$before" ] && break
        kill -0 "$pid" 2>/dev/null || fail "the program ended after batch $batch"
        sleep 0.1
    done
    after=$(lines)
    [ "$after" -gt "$before" ] || fail "no line printed during batch $batch ($after lines)"
    before=$after
done

[ "$resizes" -eq 1 ] && xdotool windowsize "$window" 640 480
xdotool key Escape
status=0
for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program still runs 60 seconds after Escape"
wait "$pid" || status=$?
[ "$status" -eq "$escapeStatus" ] || fail "the program exited with status $status, not $escapeStatus"
if grep -E -q 'ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:' "$work/stderr.txt"; then
    fail "a sanitizer report on standard error"
fi
grep -q 'X Error\|refused a request' "$work/stderr.txt" && fail "an X error on standard error"
if [ ${#arguments[@]} -gt 0 ]; then
    [ -s "$work/trace.csv" ] || fail "no trace written"
    leftover=$(find "$work" -name 'trace.csv.tmp-*')
    [ -z "$leftover" ] || fail "a temporary file stays: $leftover"
fi
echo "keystorm: $sent events in $batches batches over about $seconds s, then Escape: exit" \
    "status $status, $first -> $(lines) lines printed, no X error, no sanitizer report"
