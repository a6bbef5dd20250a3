# shellcheck shell=bash
# Sourced by the window-test scripts (tests/app/demo-window-test.sh, tests/view/view-window-test.sh,
# tests/reliability/keystorm.sh): starting a virtual display, trying again on another, and
# waiting for a program's window. The caller defines fail MESSAGE, which must not return.

# Outside a display started here, runs the calling script again with the same arguments under
# xvfb-run on an 800x600x24 screen and exits with its status. Test runs of several build trees
# at once can race for a display number, so each try starts from a random one; when the server
# fails, or the script exits 3 (its program could not open the display), another display is
# tried, five times in all. Inside, returns at once.
xvfb_run_self() {
    if [ -n "${SPHERES_XVFB_MARKER:-}" ]; then
        touch "$SPHERES_XVFB_MARKER"
        return 0
    fi
    local marker status
    marker=$(mktemp)
    for _ in 1 2 3 4 5; do
        rm -f "$marker"
        status=0
        SPHERES_XVFB_MARKER=$marker xvfb-run -a -n $((100 + RANDOM % 800)) \
            -s '-screen 0 800x600x24' bash "$0" "$@" || status=$?
        if [ "$status" -ne 3 ] && [ -e "$marker" ]; then
            rm -f "$marker"
            exit "$status"
        fi
        echo "display not usable, trying another one" >&2
    done
    rm -f "$marker"
    exit 1
}

# What LD_PRELOAD needs for PROGRAM: nothing, or in a build with AddressSanitizer the sanitizer's
# runtime (which must come first) and Mesa's software driver. freeglut closes the display at
# exit, which unloads the driver before the exit-time leak check; preloaded, it stays mapped, so
# what it never frees is still attributed to it and matched by the suppressions.
xvfb_preload() {
    local asan driver
    asan=$(ldd "$1" | awk '/libasan/ && !found { print $3; found = 1 }')
    [ -n "$asan" ] || return 0
    driver=$(find /usr/lib -path '*/dri/swrast_dri.so' -print -quit 2>/dev/null)
    echo "$asan${driver:+ $driver}"
}

# xvfb_wait_window PID TITLE ERRFILE: waits up to 20 s for the visible window TITLE of the
# program PID, whose standard error goes to ERRFILE, sets window to its id and gives it the
# focus (there is no window manager: keys then go to it through XTEST). Exits 3 when the
# program could not open the display, so that xvfb_run_self tries another.
xvfb_wait_window() {
    local pid=$1 title=$2 errors=$3
    window=""
    for _ in $(seq 200); do
        if ! kill -0 "$pid" 2>/dev/null; then
            grep -q 'failed to open display' "$errors" && exit 3
            fail "the program ended before its window '$title' appeared"
        fi
        window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "no window titled '$title' within 20 s"
    xdotool windowfocus --sync "$window"
}
