#!/usr/bin/env bash
# Installs the Debian packages the project needs; reports on standard error only.
#
#   tools/install-deps.sh run       building sphere-demo and sphere-sim and running them
#   tools/install-deps.sh headless  a virtual display (Xvfb), for a machine without a display
#   tools/install-deps.sh test      all that tools/check.sh needs (the default): the above, then
#                                   GoogleTest, Google Benchmark, valgrind, the window test
#                                   tools, gnuplot, clang with its OpenMP, sanitizer and fuzzer
#                                   runtime, Bullet for the benchmarks, and for the page
#                                   Emscripten, Chromium, Node.js and npm
set -euo pipefail

what=${1:-test}
case "$what" in
run | headless | test) ;;
-h | --help)
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"
    exit 0
    ;;
*)
    echo "install-deps.sh: unknown set '$what' (run, headless or test; --help)" >&2
    exit 2
    ;;
esac
exec 1>&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
updated=""

update_once() {
    if [ -z "$updated" ]; then
        $sudo apt-get update
        updated=1
    fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# Installs those of the given packages that are not installed yet.
install() {
    local package missing=()
    for package in "$@"; do
        installed "$package" || missing+=("$package")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        update_once
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends \
            "${missing[@]}"
    fi
}

# Installs the first of the given names of one package that this release knows, unless one of
# them is installed already.
install_one_of() {
    local package
    for package in "$@"; do
        installed "$package" && return 0
    done
    update_once
    for package in "$@"; do
        if apt-cache show --no-all-versions "$package" >/dev/null 2>&1; then
            install "$package"
            return 0
        fi
    done
    echo "install-deps.sh: none of $* is known to apt" >&2
    exit 1
}

# Compiler, CMake, GL, GLU and freeglut (libglut-dev, called freeglut3-dev before Debian 12),
# libpng for sphere-view's pictures, and glxinfo, with which tools/demo.sh checks that the
# display it was given works.
install build-essential cmake mesa-utils libglu1-mesa-dev libpng-dev
install_one_of libglut-dev freeglut3-dev
[ "$what" = run ] && exit 0

install xvfb xauth
[ "$what" = headless ] && exit 0

install libgtest-dev libbenchmark-dev valgrind xdotool imagemagick x11-apps gnuplot-nox clang
# OpenMP for clang builds (GCC brings its own), and Bullet, a peer in the benchmarks only.
install libomp-dev libbullet-dev
# The sanitizer and libFuzzer runtime of the clang that is installed, whichever its version:
# libclang-rt-N-dev from Debian 12 on, part of libclang-common-N-dev before.
version=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -1)
[ -n "$version" ] || { echo "install-deps.sh: cannot read clang's version" >&2; exit 1; }
install_one_of "libclang-rt-$version-dev" "libclang-common-$version-dev"

# The page (tools/web.sh) and its tests: Emscripten builds it, Chromium runs it, Node drives
# Chromium through puppeteer-core from npm. Node.js and npm only where they are missing: a Node
# installed from elsewhere brings its own npm, which Debian's npm package conflicts with.
install emscripten chromium
command -v node >/dev/null || install nodejs
command -v npm >/dev/null || install npm
