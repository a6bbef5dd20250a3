#!/usr/bin/env bash
# Makes the README's pictures of sphere-view under Xvfb (ImageMagick makes the animation):
#
#   tools/view-pictures.sh VIEW OUTDIR
#
# VIEW is the built program (build/view/sphere-view). Writes OUTDIR/sphere-view-levels.png (the
# tree, each level in its colour), OUTDIR/sphere-view-query.png (one body's sweep query, the
# levels hidden) and OUTDIR/sphere-view.gif (the first frames, half size).
set -euo pipefail

if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -d "$2" ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0" >&2
    exit 2
fi
view=$1
out=$2
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 800x600x24' bash "$0" "$@"
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Frames run as fast as the window draws; the picture is taken after frame N.
shoot() {
    local frames=$1 file=$2
    shift 2
    "$view" --rate 0 --frames "$frames" --screenshot "$file" "$@" >/dev/null 2>"$scratch/err" ||
        { cat "$scratch/err" >&2; exit 1; }
}

shoot 20 "$out/sphere-view-levels.png"
# Body 4 (five presses of n), which meets another in frame 5: its query with the levels hidden,
# the camera 3000 units closer (60 presses of z) and turned by 10 degrees.
closer=$(printf '0:z,%.0s' $(seq 60))
shoot 5 "$out/sphere-view-query.png" --keys "0:n,0:n,0:n,0:n,0:n,0:1,0:2,0:3,0:4,0:5,${closer}0:s"

for frame in $(seq 0 3 60); do
    shoot "$frame" "$scratch/$(printf %03d "$frame").png"
done
convert -delay 12 -loop 0 "$scratch"/*.png -resize 50% -colors 32 -layers Optimize \
    "$out/sphere-view.gif"
ls -l "$out"/sphere-view*
