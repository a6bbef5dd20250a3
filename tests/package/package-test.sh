#!/usr/bin/env bash
# Checks of what the build hands to others:
#   package-test.sh consumer BUILD WORK GENERATOR CXX "CXXFLAGS"
#     installs BUILD into WORK/prefix: every header of the library folders but the GL ones, and
#     a package that refers to no GL; then configures, builds and runs two consumers against it
#     with find_package(Spheres): the head-on example (Spheres::world) and frame-consumer (every
#     exported target, the frame through Spheres::app); neither needs GL. Last, uninstalls
#     through install_manifest.txt
#   package-test.sh gl-free PROGRAM...
#     no program lists a GL library (libGL, libGLU, libglut, libGLX, libOpenGL) in readelf -d
#   package-test.sh no-window SOURCE WORK GENERATOR
#     configures SOURCE as a subdirectory of another project, with SPHERES_WINDOW=OFF and the
#     GL, GLUT, X11 and GoogleTest packages hidden from CMake: it succeeds, with sphere-sim,
#     without sphere-demo and without the tests (built only when SOURCE is the top level)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

gl_free() {
    local program needed
    for program in "$@"; do
        [ -x "$program" ] || fail "$program is not a program"
        needed=$(readelf -d "$program" | grep NEEDED || true)
        if grep -Ei 'lib(GL|GLU|glut|GLX|OpenGL)[.-]' <<<"$needed"; then
            fail "$program links a GL library"
        fi
        echo "no GL library: $(basename "$program")"
    done
}

mode=${1:-}
case "$mode" in
consumer)
    [ $# -eq 6 ] || fail "usage: package-test.sh consumer BUILD WORK GENERATOR CXX CXXFLAGS"
    build=$2 work=$3 generator=$4 cxx=$5 flags=$6
    rm -rf "$work"
    mkdir -p "$work"
    cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"
    (cd "$work/prefix" && find . -type f | sort) >"$work/installed.txt"
    # The library folder depends on the platform (lib, lib64, lib/x86_64-linux-gnu).
    for file in 'bin/sphere-sim' 'include/spheres/spheretree/QuerySphereTree.h' \
        'include/spheres/world/World.h' 'include/spheres/app/FrameLogic.h' \
        'lib.*/libspheres_world\.a' 'lib.*/cmake/Spheres/SpheresConfig\.cmake' \
        'lib.*/cmake/Spheres/SpheresConfigVersion\.cmake' 'share/doc/spheres/LICENSE'; do
        grep -Eqx "\./$file" "$work/installed.txt" || fail "$file is not installed"
    done
    # The installed headers are exactly the library folders' headers, the GL ones left out.
    source=$(cd "$here/../.." && pwd)
    (cd "$source" && find math body spheretree world frustum app -name '*.h' ! -name 'GL*.h' |
        sed 's|^|./include/spheres/|' | sort) >"$work/headers.txt"
    grep -E '^\./include/' "$work/installed.txt" >"$work/installed-headers.txt" || true
    diff "$work/headers.txt" "$work/installed-headers.txt" >"$work/headers.diff" ||
        { cat "$work/headers.diff"; fail "the installed headers differ from the library's (<: missing)"; }
    ! grep -Eil 'opengl|glut' "$work/prefix"/lib*/cmake/Spheres/*.cmake \
        "$work/prefix"/lib/*/cmake/Spheres/*.cmake 2>/dev/null || fail "the package refers to GL"
    for consumer in "$source/examples/head-on" "$here/frame-consumer"; do
        name=$(basename "$consumer")
        cmake -S "$consumer" -B "$work/$name" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
            -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_PREFIX_PATH="$work/prefix" \
            >"$work/$name-configure.log" 2>&1 ||
            { cat "$work/$name-configure.log"; fail "$name does not configure"; }
        cmake --build "$work/$name" >"$work/$name-build.log" 2>&1 ||
            { cat "$work/$name-build.log"; fail "$name does not build"; }
    done
    gl_free "$work/head-on/head-on" "$work/frame-consumer/frame-run" "$work/prefix/bin/sphere-sim"
    "$work/head-on/head-on" || fail "the bodies did not exchange velocities"
    "$work/frame-consumer/frame-run" || fail "the frame run through Spheres::app failed"
    # Uninstalling as the library guide says leaves no file behind.
    xargs -d '\n' rm -f -- <"$build/install_manifest.txt"
    [ -z "$(find "$work/prefix" -type f)" ] || fail "files stay after uninstalling"
    ;;
gl-free)
    shift
    gl_free "$@"
    ;;
no-window)
    [ $# -eq 4 ] || fail "usage: package-test.sh no-window SOURCE WORK GENERATOR"
    source=$2 work=$3 generator=$4
    rm -rf "$work" "$work.parent"
    mkdir -p "$work.parent"
    printf '%s\n' 'cmake_minimum_required(VERSION 3.21)' 'project(parent LANGUAGES C CXX)' \
        "add_subdirectory([[$source]] spheres)" >"$work.parent/CMakeLists.txt"
    cmake -S "$work.parent" -B "$work" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
        -DSPHERES_WINDOW=OFF -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON -DCMAKE_DISABLE_FIND_PACKAGE_X11=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >"$work.configure.log" 2>&1 ||
        { cat "$work.configure.log"; fail "configuring without windows needs GL or GoogleTest"; }
    # Generating already fails on a GL target that is missing; what links is checked by gl-free
    # on the main build's programs, so nothing is built here.
    grep -q 'sphere-sim' "$work/Makefile" "$work"/*.ninja 2>/dev/null ||
        fail "sphere-sim is not among the targets"
    ! grep -q 'sphere-demo' "$work/Makefile" "$work"/*.ninja 2>/dev/null ||
        fail "sphere-demo is a target without windows"
    ! grep -q 'spheres_body_tests' "$work/Makefile" "$work"/*.ninja 2>/dev/null ||
        fail "the tests are built in another project's build"
    ;;
*)
    fail "usage: package-test.sh consumer|gl-free|no-window ..."
    ;;
esac
echo PASS
