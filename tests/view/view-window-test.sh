#!/usr/bin/env bash
# End-to-end tests of sphere-view under Xvfb:
#   view-window-test.sh window VIEW SIM WORKDIR
#     real key and mouse events: freeze; the legend (each level's colour in its square); hide
#     and show each tree level (its colour leaves and comes back in the picture and the legend);
#     step the emphasis to the next level and back (its silhouettes in full colour); move the
#     clipping slab half way through (fewer bodies drawn) and back; the demo's camera and back
#     (another picture, then the same); a resize far beyond the largest viewport (shrunk back to
#     it, drawn at it) and back, pick a body with a click, one frame, reset, Escape (status 0);
#     a window asked for beyond the largest viewport at start draws its frames (status 0); no
#     display: the message that says what to do, and exit status 4
#   view-window-test.sh trace VIEW SIM WORKDIR
#     the view's --trace equals sphere-sim's for the same options and keys, also where
#     sphere-sim runs the queries on several threads
#   view-window-test.sh ends VIEW X_CLOSE_WINDOW WORKDIR
#     the window closed as a window manager closes it, or destroyed by another client (also
#     after it was unmapped, when GLUT no longer draws it): status 0
#     and the trace in place; the client killed or the X server gone: status 4 and the trace's
#     file as it was; never a temporary file left. Standard output closed, the view runs.
# The script runs itself under Xvfb, on another display when one is not usable
# (tests/support/xvfb-window.sh).
set -euo pipefail
# shellcheck source=../support/xvfb-window.sh
. "$(dirname "$0")/../support/xvfb-window.sh"

if [ $# -ne 4 ] || [[ ! $1 =~ ^(window|trace|ends)$ ]]; then
    echo "usage: view-window-test.sh window|trace|ends VIEW SIM|X_CLOSE_WINDOW WORKDIR" >&2
    exit 2
fi
mode=$1 view=$2 sim=$3 work=$4
xvfb_run_self "$@"
XVFB_DISPLAY=$DISPLAY
mkdir -p "$work"
out="$work/$mode.out"
pid=""

preload=$(xvfb_preload "$view")
run_view() { LD_PRELOAD="$preload" "$view" "$@"; }

fail() {
    echo "FAIL ($mode): $*" >&2
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    exit 1
}

# Polls for up to 10 s until the command succeeds.
eventually() {
    for _ in $(seq 100); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

last_frame() { grep -o '^frame [0-9]*' "$out" | tail -1 | cut -d' ' -f2; }
frame_is() { [ "$(last_frame)" = "$1" ]; }
frame_at_least() { [ "$(last_frame)" -ge "$1" ]; }

# Pixels of exactly the colour "r,g,b" in the picture $1 (the emphasised level and the legend's
# squares are drawn without blending).
colour_count() {
    convert "$1" -format %c histogram:info:- |
        awk -v want="($2)" '{ gsub(/ /, "", $2) } $2 == want { n += $1 } END { print n + 0 }'
}
# Pixels of lit bodies.
red_count() {
    convert "$1" -fx 'r>0.3 && r>2*g && r>2*b ? 1 : 0' -format '%[fx:int(mean*w*h)]' info:
}

# A screenshot of the screen, NAME.png, and of the 640 x 480 window at (100, 100) on it without
# its top 80 rows, where the heads-up text's panel changes width with its figures:
# NAME-scene.png; and of the column of the legend's squares at its bottom left: NAME-legend.png.
shot() {
    import -window root "$work/$1.png"
    convert "$work/$1.png" -crop 640x400+100+180 +repage "$work/$1-scene.png"
    convert "$work/$1.png" -crop 16x120+106+460 +repage "$work/$1-legend.png"
}

geometry() { xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p'; }
geometry_is() { [ "$(geometry)" = "$1" ]; }

# The GL colour of each tree level (0 is the root), as the view draws it.
level_colours=("128,128,128" "77,128,255" "51,255,51" "255,255,51" "255,77,255" "51,255,255")

case "$mode" in
window)
    run_view >"$out" 2>"$work/window.err" &
    pid=$!
    xvfb_wait_window "$pid" sphere-view "$work/window.err"

    # Frozen: no frame runs, so the picture holds still.
    eventually frame_at_least 3 || fail "frames do not run"
    xdotool key f
    sleep 0.5
    frozen=$(last_frame)
    sleep 1
    [ "$(last_frame)" = "$frozen" ] || fail "frames ran while frozen"

    # The legend: each level's colour fills its 12 x 12 square, and nothing else in the corner.
    shot all
    for level in 0 1 2 3 4 5; do
        square=$(colour_count "$work/all-legend.png" "${level_colours[$level]}")
        [ "$square" -eq 144 ] || fail "legend: $square pixels of level $level's colour, not 144"
    done
    for level in 0 1 2 3 4 5; do
        colour=${level_colours[$level]}
        shown=$(colour_count "$work/all.png" "$colour")
        xdotool key "$level"
        sleep 0.5
        shot "hidden$level"
        hidden=$(colour_count "$work/hidden$level.png" "$colour")
        xdotool key "$level"
        sleep 0.5
        shot "again$level"
        again=$(colour_count "$work/again$level-scene.png" "$colour")
        shown=$(colour_count "$work/all-scene.png" "$colour")
        echo "level $level: $shown pixels, $hidden hidden, $again shown again"
        [ "$hidden" -eq 0 ] || fail "level $level: $hidden pixels of its colour while hidden"
        [ "$again" -eq "$shown" ] || fail "level $level: $again pixels shown again, not $shown"
    done

    # The emphasis starts on level 3 of 100 bodies' tree (4 nodes): its silhouettes in full
    # colour. One step on, level 4's are, level 3 keeps only its square; one step back, the
    # picture is the same again.
    three=$(colour_count "$work/all-scene.png" "${level_colours[3]}")
    four=$(colour_count "$work/all-scene.png" "${level_colours[4]}")
    [ "$three" -ge 500 ] || fail "emphasis: only $three pixels of level 3's colour"
    xdotool key l
    sleep 0.5
    shot next
    [ "$(colour_count "$work/next-scene.png" "${level_colours[3]}")" -eq 144 ] ||
        fail "emphasis: level 3 still in full colour after l"
    [ "$(colour_count "$work/next-scene.png" "${level_colours[4]}")" -ge $((four + 500)) ] ||
        fail "emphasis: level 4 not in full colour after l"
    xdotool key L
    sleep 0.5
    shot back
    for level in 3 4; do
        [ "$(colour_count "$work/back-scene.png" "${level_colours[$level]}")" -eq \
            "$(colour_count "$work/all-scene.png" "${level_colours[$level]}")" ] ||
            fail "emphasis: level $level differs after l and L"
    done
    echo "emphasis: level 3 $three pixels, level 4 $four; one step on and back"

    # The slab half way through shows fewer bodies; moved back off, all of them again. The
    # demo's camera shows another picture; back at the orbit camera, the same one.
    bodies=$(red_count "$work/all-scene.png")
    xdotool key c c c c c c c c
    sleep 0.5
    shot slab
    sliced=$(red_count "$work/slab-scene.png")
    xdotool key C C C C C C C C
    sleep 0.5
    shot unsliced
    echo "slab: $bodies body pixels, $sliced in slice 8, $(red_count "$work/unsliced-scene.png") after"
    [ "$sliced" -gt 0 ] && [ "$((2 * sliced))" -lt "$bodies" ] ||
        fail "slab: $sliced body pixels in the middle slice of $bodies"
    [ "$(red_count "$work/unsliced-scene.png")" -eq "$bodies" ] || fail "slab: not off again"
    xdotool key v
    sleep 0.5
    shot demo
    xdotool key v
    sleep 0.5
    shot orbit
    demo=$(red_count "$work/demo-scene.png")
    echo "camera: $bodies body pixels, $demo from the demo's camera"
    [ "$demo" -ne "$bodies" ] || fail "camera: the demo's camera shows the same picture"
    [ "$(red_count "$work/orbit-scene.png")" -eq "$bodies" ] || fail "camera: not back to orbit"

    # A window beyond the largest viewport (16384 x 16384 with Mesa's software renderer) is
    # shrunk back instead of crashing the renderer, and pictures go on at that size: the help
    # text, shown after the shrink, appears (a picture that large takes seconds). Back at its
    # first size the window shows the same picture as before.
    text_colour="217,217,217"
    text=$(colour_count "$work/all.png" "$text_colour")
    xdotool windowsize "$window" 32767 32767
    shrunk() {
        kill -0 "$pid" 2>/dev/null || fail "sphere-view ended after a resize to 32767 x 32767"
        case "$(geometry)" in "" | 32767x* | *x32767) return 1 ;; esac
    }
    eventually shrunk || fail "the window stayed $(geometry) after a resize to 32767 x 32767"
    echo "resized to 32767 x 32767: the window is $(geometry)"
    xdotool key h
    help_drawn() {
        kill -0 "$pid" 2>/dev/null || fail "sphere-view ended after a resize to 32767 x 32767"
        shot large
        [ "$(colour_count "$work/large.png" "$text_colour")" -ge $((2 * text)) ]
    }
    eventually help_drawn || fail "no picture drawn at $(geometry)"
    xdotool key h
    xdotool windowsize "$window" 640 480
    eventually geometry_is 640x480 || fail "the window is $(geometry), not 640x480"
    # The screen around the window keeps what the large one showed: only the window is compared.
    same_picture() {
        shot back
        for colour in "${level_colours[@]}"; do
            [ "$(colour_count "$work/back-scene.png" "$colour")" -eq \
                "$(colour_count "$work/all-scene.png" "$colour")" ] || return 1
        done
    }
    eventually same_picture || fail "the picture differs after the window came back to 640 x 480"

    # A click in the middle of a lit body, found in the picture, selects a body.
    spot=$(convert "$work/all.png" -crop 600x340+120+220 +repage \
        -fx 'r>0.3 && r>2*g && r>2*b ? 1 : 0' -morphology Erode Disk:6 txt:- |
        awk -F'[,: ]+' '!found && /#FFFFFF|white/ { found = $1 + 120 " " $2 + 220 } END { print found }')
    [ -n "$spot" ] || fail "no lit body to click in the picture"
    read -r x y <<<"$spot"
    xdotool mousemove "$x" "$y" click 1
    eventually grep -q '^selected [0-9]' "$out" || fail "a click on a body at $x,$y selected none"
    grep '^selected' "$out"

    # One frame while frozen moves the frame number by exactly one.
    xdotool key period
    eventually frame_is $((frozen + 1)) || fail "'.' did not run one frame"
    sleep 1
    [ "$(last_frame)" = $((frozen + 1)) ] || fail "'.' ran more than one frame"

    # Reset starts again at frame 0, and its bodies and tree are drawn; thawed, frames run again.
    xdotool key r
    eventually frame_is 0 || fail "reset did not start again at frame 0"
    drawn_again() {
        shot reset
        [ "$(colour_count "$work/reset.png" "${level_colours[1]}")" -ge 20 ] &&
            [ "$(convert "$work/reset.png" -fx 'r>0.3 && r>2*g && r>2*b ? 1 : 0' \
                -format '%[fx:int(mean*w*h)]' info:)" -ge 20 ]
    }
    eventually drawn_again || fail "no bodies or tree drawn after the reset"
    xdotool key f
    eventually frame_at_least 2 || fail "frames do not run after thawing"

    xdotool key Escape
    status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "exit status $status after Escape, expected 0"

    # Made that large from the start, the window is made again at the limit.
    status=0
    run_view -geometry 32767x32767 --frames 1 >"$work/large.out" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "exit status $status with -geometry 32767x32767, expected 0"

    # No display: what to do, and a status of its own.
    status=0
    DISPLAY= run_view --frames 1 >"$work/none.out" 2>"$work/none.err" || status=$?
    [ "$status" -eq 4 ] || fail "exit status $status without a display, expected 4"
    grep -q 'xvfb-run' "$work/none.err" || fail "without a display: $(cat "$work/none.err")"
    ;;
trace)
    # The demo's keys at chosen frames, and the same presses through sphere-sim.
    run_both() {
        local name=$1 expect_sim=$2
        shift 2
        local status=0
        "$sim" --quiet --trace "$work/$name.sim.csv" "$@" || status=$?
        [ "$status" -eq "$expect_sim" ] || fail "$name: sphere-sim ended with $status"
        status=0
        run_view --rate 0 --trace "$work/$name.view.csv" "$@" >"$out" 2>"$work/trace.err" ||
            status=$?
        grep -q 'failed to open display' "$work/trace.err" && exit 3
        [ "$status" -eq 0 ] || fail "$name: sphere-view ended with $status"
        cmp "$work/$name.sim.csv" "$work/$name.view.csv" || fail "$name: the traces differ"
        echo "$name: $(wc -l <"$work/$name.view.csv") trace lines equal"
    }
    run_both keys 0 --frames 60 --keys 0:z,10:space,20:b,22:w,25:space,30:b,31:Z
    run_both escape 1 --bodies 400 --seed 9 --spread 2 --frames 100 --keys 5:b,40:esc
    # Enough bodies for the batched queries, which sphere-sim runs on every core.
    run_both batched 0 --bodies 5000 --seed 3 --frames 20 --keys 10:b
    ;;
ends)
    closer=$3
    for how in delete destroy hidden kill server; do
        folder="$work/$how"
        rm -rf "$folder"
        mkdir -p "$folder"
        echo keep >"$folder/keep.csv"
        if [ "$how" = server ]; then
            # A server of its own, which the test then ends.
            display=:$((900 + RANDOM % 90))
            Xvfb "$display" -screen 0 800x600x24 -nolisten tcp 2>"$work/server.err" &
            server=$!
            export DISPLAY=$display
            eventually xdotool getdisplaygeometry >/dev/null 2>&1 || fail "no server at $display"
        fi
        run_view --trace "$folder/keep.csv" >"$out" 2>"$work/$how.err" &
        pid=$!
        xvfb_wait_window "$pid" sphere-view "$work/$how.err"
        eventually frame_at_least 3 || fail "$how: frames do not run"
        case $how in
        delete) "$closer" "$window" ;;
        destroy) xdotool windowclose "$window" ;;
        # Unmapped first, so GLUT no longer draws it: only asking the server finds it gone.
        hidden) xdotool windowunmap --sync "$window" && sleep 0.5 && xdotool windowclose "$window" ;;
        kill) xdotool windowkill "$window" ;;
        server) kill "$server" ;;
        esac
        ended() { ! kill -0 "$pid" 2>/dev/null; }
        eventually ended || fail "$how: the view still runs"
        status=0
        wait "$pid" || status=$?
        pid=""
        trace=$(head -c 6 "$folder/keep.csv")
        echo "$how: status $status, the trace starts '$trace', $(ls "$folder" | wc -l) file(s)"
        if [ "$how" = delete ] || [ "$how" = destroy ] || [ "$how" = hidden ]; then
            [ "$status" -eq 0 ] && [ "$trace" = frame, ] || fail "$how: not a normal end"
        else
            [ "$status" -eq 4 ] && [ "$trace" = "keep" ] || fail "$how: not the display's error"
            grep -q 'no file replaced' "$work/$how.err" || fail "$how: no message"
        fi
        [ "$(ls "$folder")" = keep.csv ] || fail "$how: left $(ls "$folder" | tr '\n' ' ')"
    done
    wait "$server" 2>/dev/null || true

    # Standard output closed: the frame lines go nowhere, not into the X connection.
    export DISPLAY=$XVFB_DISPLAY
    status=0
    LD_PRELOAD="$preload" timeout 120 "$view" --frames 3 >&- 2>"$work/closed.err" || status=$?
    [ "$status" -eq 0 ] || fail "exit status $status with standard output closed"
    ;;
esac
echo "PASS ($mode)"
