#!/usr/bin/env bash
# Builds sphere-demo and runs it; arguments go to GLUT. Installs only what building and running
# need. Standard output carries nothing but the program's "Spheres Drawn" lines: installing and
# building report on standard error, the build's own output goes to build-demo/build.log. Without
# a usable display ($DISPLAY unset, or no GLX there) the program runs in a virtual one under
# xvfb-run, as said on standard error.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh run

build="build-demo"
mkdir -p "$build"
echo "demo.sh: building sphere-demo in $build/ (log: $build/build.log)" >&2
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSPHERES_TESTS=OFF &&
    cmake --build "$build" -j"$(nproc)" --target sphere-demo; } >"$build/build.log" 2>&1; then
    cat "$build/build.log" >&2
    echo "demo.sh: the build failed (log: $build/build.log)" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ] && timeout 20 glxinfo -B >/dev/null 2>&1; then
    exec "$build/app/sphere-demo" "$@"
fi
echo "demo.sh: no usable display${DISPLAY:+ at $DISPLAY}; running in a virtual one (xvfb-run -a)" >&2
./tools/install-deps.sh headless
exec xvfb-run -a -s '-screen 0 1024x768x24' "$build/app/sphere-demo" "$@"
