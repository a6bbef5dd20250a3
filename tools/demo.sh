#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it; arguments go to GLUT.
# Without a display: xvfb-run -a ./tools/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target sphere-demo
exec build/app/sphere-demo "$@"
