#!/usr/bin/env bash
# End-to-end tests of sphere-demo in a real window:
#   demo-window-test.sh keys DEMO WORKDIR
#     pause, move and turn the camera, screenshot, a storm of random keys, a resize far beyond
#     the largest viewport and a small one, then Escape
#   demo-window-test.sh replay DEMO REFERENCE WORKDIR
#     let the scene run until it prints no more, then compare with what REFERENCE --frames 4000
#     prints: a window-less run of the same frames
# The script runs itself under Xvfb, on another display when one is not usable
# (tests/support/xvfb-window.sh).
set -euo pipefail
# shellcheck source=../support/xvfb-window.sh
. "$(dirname "$0")/../support/xvfb-window.sh"

if ! { [ $# -eq 3 ] && [ "${1:-}" = keys ]; } && ! { [ $# -eq 4 ] && [ "$1" = replay ]; }; then
    echo "usage: demo-window-test.sh keys DEMO WORKDIR" >&2
    echo "       demo-window-test.sh replay DEMO REFERENCE WORKDIR" >&2
    exit 2
fi
mode=$1
demo=$2
reference=${4:+$3}
work=${!#}
xvfb_run_self "$@"
mkdir -p "$work"
out="$work/$mode.out"
pid=""

fail() {
    echo "FAIL ($mode): $*" >&2
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
    fi
    exit 1
}

start_demo() {
    LD_PRELOAD="$(xvfb_preload "$demo")" "$demo" >"$out" 2>"$work/$mode.err" &
    pid=$!
    xvfb_wait_window "$pid" 'GLUT app' "$work/$mode.err"
}

size() { stat -c %s "$out"; }

# Waits until the output holds at least $2 lines and has not grown for two seconds since (at
# most $1 seconds in all), so that a pause of a loaded machine is not taken for the end.
wait_until_quiet() {
    local last=-1 still=0
    for _ in $(seq $(($1 * 4))); do
        kill -0 "$pid" 2>/dev/null || fail "sphere-demo ended by itself"
        local now
        now=$(size)
        if [ "$now" -eq "$last" ] && [ "$(wc -l <"$out")" -ge "$2" ]; then
            still=$((still + 1))
            [ "$still" -ge 8 ] && return 0
        else
            still=0
            last=$now
        fi
        sleep 0.25
    done
    fail "output did not settle with at least $2 lines within $1 s"
}

# Sends Escape and checks the exit status 1 and that nothing more was printed.
escape_and_check() {
    local before
    before=$(size)
    xdotool key Escape
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 1 ] || fail "exit status $status after Escape, expected 1"
    [ "$(size)" -eq "$before" ] || fail "output after Escape"
}

check_lines() {
    local bad
    bad=$(grep -Evc '^Spheres Drawn: ([1-9]|[1-9][0-9]|100)$' "$out" || true)
    [ "$bad" -eq 0 ] || fail "$bad lines are not 'Spheres Drawn: N' with 1 <= N <= 100"
    [ "$(wc -l <"$out")" -ge "$1" ] || fail "fewer than $1 lines printed"
}

geometry() { xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p'; }

# Resizes the window, then checks that the program lives and goes on printing frames (a frame
# of 16384 x 16384 takes seconds in the software renderer).
resize_and_check() {
    local before
    before=$(wc -l <"$out")
    xdotool windowsize "$window" "$1" "$2"
    for _ in $(seq 240); do
        kill -0 "$pid" 2>/dev/null || fail "sphere-demo ended after a resize to $1 x $2"
        [ "$(wc -l <"$out")" -gt $((before + 1)) ] && break
        sleep 0.25
    done
    [ "$(wc -l <"$out")" -gt $((before + 1)) ] || fail "no frame printed after a resize to $1 x $2"
    echo "resized to $1 x $2: the window is $(geometry)"
}

pixels() { convert "$1" -fx "$2 ? 1 : 0" -format '%[fx:int(mean*w*h)]' info:; }

case "$mode" in
keys)
    start_demo
    # Paused frames still draw and print, so the picture holds still.
    xdotool key space z z z s s b
    sleep 1
    import -window root "$work/shot.png"
    red=$(pixels "$work/shot.png" 'r>0.3 && r>2*g && r>2*b')
    black=$(pixels "$work/shot.png" 'max(r,max(g,b))<0.05')
    echo "red pixels $red, black pixels $black of 480000"
    [ "$red" -ge 20000 ] || fail "only $red red pixels: no lit spheres"
    [ "$black" -ge 240000 ] || fail "only $black black pixels: the background is not black"
    check_lines 5

    # Every bound key but space, unbound keys and special keys. The camera keys are then undone
    # by their opposites, since a pair restores the camera exactly.
    storm=(q a z Q A Z w s x W S X b c Return Tab 1 Up Down Left Right F1 F5 Home)
    declare -A opposite=([q]=Q [a]=A [z]=Z [Q]=q [A]=a [Z]=z [w]=W [s]=S [x]=X [W]=w [S]=s [X]=x)
    keys=() undo=()
    RANDOM=7
    for _ in $(seq 300); do
        key=${storm[RANDOM % ${#storm[@]}]}
        keys+=("$key")
        [ -n "${opposite[$key]:-}" ] && undo+=("${opposite[$key]}")
    done
    lines=$(wc -l <"$out")
    xdotool key --delay 2 "${keys[@]}" "${undo[@]}"
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "sphere-demo ended during the key storm"
    [ "$(wc -l <"$out")" -gt "$lines" ] || fail "nothing printed after the key storm"
    check_lines 5

    # A window beyond the largest viewport (16384 x 16384 with Mesa's software renderer) is
    # shrunk back instead of crashing the renderer; frames go on, and a small size is kept.
    resize_and_check 32767 32767
    case "$(geometry)" in
    32767x* | *x32767) fail "the window stayed $(geometry) after a resize to 32767 x 32767" ;;
    esac
    resize_and_check 300 200
    [ "$(geometry)" = 300x200 ] || fail "the window is $(geometry) after a resize to 300 x 200"

    # Camera far past the scene: frames go on but print nothing, so any later line is Escape's.
    xdotool key --delay 1 $(printf 'z %.0s' $(seq 400))
    wait_until_quiet 60 0
    escape_and_check
    ;;
replay)
    "$reference" --frames 4000 >"$work/replay.expected"
    start_demo
    wait_until_quiet 300 "$(wc -l <"$work/replay.expected")"
    escape_and_check
    check_lines 2000
    diff -q "$work/replay.expected" "$out" >/dev/null ||
        fail "drawn counts differ from the window-less run: diff $work/replay.expected $out"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
echo "PASS ($mode)"
