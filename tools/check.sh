#!/usr/bin/env bash
# Installs what is needed, builds from scratch with warnings as errors, and runs every test; the
# first build also builds the page with Emscripten and tests it in Chromium (label web).
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh

build=build-check
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSPHERES_WERROR=ON -DSPHERES_WEB_TESTS=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer, no recovery) runs the
# whole test suite again, with the tree checked after every update.
sanitized=build-check-asan
rm -rf "$sanitized"
cmake -S . -B "$sanitized" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPHERES_WERROR=ON \
    -DSPHERES_SANITIZE=ON -DSPHERES_VALIDATE=ON
cmake --build "$sanitized" -j"$(nproc)"
ctest --test-dir "$sanitized" --output-on-failure -j"$(nproc)"

# The World fuzzer (clang and libFuzzer): a bounded run from the seed corpus. The valgrind
# entries ran with the first build's tests (label valgrind).
fuzz=build-check-fuzz
rm -rf "$fuzz"
CC=clang CXX=clang++ cmake -S . -B "$fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPHERES_WERROR=ON \
    -DSPHERES_FUZZ=ON
cmake --build "$fuzz" -j"$(nproc)" --target spheres_fuzz_world
ctest --test-dir "$fuzz" --output-on-failure -L fuzz
