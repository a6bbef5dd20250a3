#!/usr/bin/env bash
# Measures how fast sphere-view draws under Xvfb: a 1024 x 768 window, no key pressed, the
# default rate. Two runs, ended by Escape after WARM and WARM + SECONDS seconds; their
# differences leave the start-up out:
#
#   tools/view-rates.sh VIEW BODIES [WARM [SECONDS [OPTION...]]]
#
# VIEW is the built program (build/view/sphere-view); WARM defaults to 3, SECONDS to 10; the
# OPTIONs go to the program (--keys 0:f measures the pictures alone, frozen).
# Prints one line: bodies, pictures per second, simulated frames per second, processor time
# (user + system, all threads) per picture in ms, and the load average before and after.
set -euo pipefail

if [ $# -lt 2 ] || [ ! -x "$1" ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0" >&2
    exit 2
fi
view=$(realpath "$1")
bodies=$2
warm=${3:-3}
seconds=${4:-10}
extra=("${@:5}")
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$@"
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One run of the given seconds: "pictures frames cpu-ticks".
run() {
    "$view" -geometry 1024x768+0+0 --bodies "$bodies" "${extra[@]}" >/dev/null 2>"$scratch/err" &
    local pid=$! window=""
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name sphere-view 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    sleep "$1"
    local ticks
    if [ -z "$window" ] || ! ticks=$(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null); then
        echo "view-rates.sh: the window did not stay open:" >&2
        cat "$scratch/err" >&2
        kill "$pid" 2>/dev/null || true
        exit 1
    fi
    xdotool windowfocus --sync "$window" key Escape
    wait "$pid"
    sed -n 's/.*sphere-view: \([0-9]*\) frames simulated, \([0-9]*\) pictures.*/\2 \1/p' \
        "$scratch/err" | tr '\n' ' '
    echo "$ticks"
}

load=$(cut -d' ' -f1 /proc/loadavg)
read -r p1 f1 t1 < <(run "$warm")
read -r p2 f2 t2 < <(run "$((warm + seconds))")
hz=$(getconf CLK_TCK)
awk -v b="$bodies" -v s="$seconds" -v p=$((p2 - p1)) -v f=$((f2 - f1)) -v t=$((t2 - t1)) \
    -v hz="$hz" -v l1="$load" -v l2="$(cut -d' ' -f1 /proc/loadavg)" \
    'BEGIN { printf "bodies %d: %.1f pictures/s, %.1f frames/s, %.1f ms processor time per picture, load %s - %s\n",
             b, p / s, f / s, (p > 0 ? 1000 * t / hz / p : 0), l1, l2 }'
