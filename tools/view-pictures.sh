#!/usr/bin/env bash
# Makes the README's pictures of sphere-view under Xvfb, with no mouse and only the view's
# documented keys (ImageMagick makes the animation):
#
#   tools/view-pictures.sh VIEW OUTDIR
#
# VIEW is the built program (build/view/sphere-view). Writes into OUTDIR, each from an 800 x 600
# window:
#   sphere-view-100.png, sphere-view-1000.png, sphere-view-10000.png
#       the tree at first sight (no key) at 100, 1 000 and 10 000 bodies
#   sphere-view-slab.png   10 000 bodies cut by the clipping slab half way through (c eight
#                          times), level 3 emphasised (l once)
#   sphere-view-query.png  body 4's sweep query among 100 bodies (n five times)
#   sphere-view.gif        the first three seconds at 1 000 bodies, half size
#   scene-NAME.png         each --scene at 2 000 bodies at first sight (docs/scenes.md)
set -euo pipefail

if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -d "$2" ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0" >&2
    exit 2
fi
view=$1
out=$2
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1024x768x24' bash "$0" "$@"
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Frames run as fast as the window draws; the picture is taken after frame N.
shoot() {
    local bodies=$1 frames=$2 file=$3
    shift 3
    "$view" -geometry 800x600 --bodies "$bodies" --rate 0 --frames "$frames" --screenshot "$file" \
        "$@" >/dev/null 2>"$scratch/err" || { cat "$scratch/err" >&2; exit 1; }
}

for bodies in 100 1000 10000; do
    shoot "$bodies" 10 "$out/sphere-view-$bodies.png"
done
shoot 10000 10 "$out/sphere-view-slab.png" --keys "$(printf '0:c,%.0s' $(seq 8))0:l"
shoot 100 5 "$out/sphere-view-query.png" --keys 0:n,0:n,0:n,0:n,0:n
for scene in program sizes clusters giants shell; do
    shoot 2000 10 "$out/scene-$scene.png" --scene "$scene"
done

for frame in $(seq 0 3 90); do
    shoot 1000 "$frame" "$scratch/$(printf %03d "$frame").png"
done
convert -delay 10 -loop 0 "$scratch"/*.png -resize 50% -colors 48 -layers Optimize \
    "$out/sphere-view.gif"
ls -l "$out"/sphere-view*
