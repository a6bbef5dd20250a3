#!/usr/bin/env bash
# Builds the viewer's page with Emscripten and serves it, or writes it into a folder.
#
#   tools/web.sh                 build into build-web/ and serve build-web/page on
#                                http://127.0.0.1:8080/ until interrupted (Ctrl-C)
#   tools/web.sh --port P        the same on port P (1 to 65535)
#   tools/web.sh --out DIR       build, write DIR/index.html and the page's other files
#                                (page.js, spheres.js, spheres.wasm), and stop
#   tools/web.sh --build DIR     keep Emscripten's build in DIR instead of build-web/
#
# SPHERES_WERROR=1 in the environment turns warnings into errors when DIR is configured.
# A page opened from a file cannot load its WebAssembly in Chromium, so it is always served.
# Needs Debian's emscripten and python3 (tools/install-deps.sh test installs them). Nothing is
# downloaded: the page uses Emscripten's own WebGL2 and html5.h, no ports.
set -euo pipefail

# The help is the comment block at the top.
usage() { awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; }
fail() {
    echo "web.sh: $*" >&2
    exit 2
}

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-web"
out=""
port=8080
while [ $# -gt 0 ]; do
    case "$1" in
    -h | --help) usage; exit 0 ;;
    --out | --port | --build)
        [ $# -ge 2 ] && [ -n "$2" ] || fail "$1 needs a value"
        case "$1" in
        --out) out=$2 ;;
        --port) port=$2 ;;
        --build) build=$2 ;;
        esac
        shift 2
        ;;
    *) fail "unknown option '$1' (see --help)" ;;
    esac
done
[[ "$port" =~ ^[0-9]{1,5}$ ]] && [ "$port" -ge 1 ] && [ "$port" -le 65535 ] ||
    fail "--port: '$port' is not a port from 1 to 65535"
if [ -n "$out" ] && [ -e "$out" ] && [ ! -d "$out" ]; then
    fail "--out: '$out' exists and is not a folder"
fi
command -v emcmake >/dev/null || fail "emcmake not found: install Debian's emscripten (tools/install-deps.sh test)"

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
    emcmake cmake -S "$root/web" -B "$build" "${generator[@]}" "${launcher[@]}" \
        -DCMAKE_BUILD_TYPE=Release ${SPHERES_WERROR:+-DSPHERES_WERROR=$SPHERES_WERROR} >&2
fi
cmake --build "$build" -j2 >&2
page="$build/page"

if [ -n "$out" ]; then
    mkdir -p "$out"
    # Each file written beside its place and renamed, so a failed copy leaves the old one.
    for file in index.html page.js spheres.js spheres.wasm; do
        cp "$page/$file" "$out/.$file.tmp-$$"
        mv -f "$out/.$file.tmp-$$" "$out/$file"
    done
    echo "web.sh: the page is in $out (serve that folder; a file:// page cannot load it)" >&2
    exit 0
fi

echo "web.sh: serving $page on http://127.0.0.1:$port/ until interrupted (Ctrl-C)" >&2
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$page"
