#!/usr/bin/env bash
# Installs what is needed, builds from scratch with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh

build=build-check
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DSPHERES_WERROR=ON
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
