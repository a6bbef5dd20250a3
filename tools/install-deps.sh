#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
set -euo pipefail

packages=(
    build-essential cmake
    libgtest-dev libbenchmark-dev
    freeglut3-dev libglu1-mesa-dev mesa-utils libpng-dev
    xvfb xauth xdotool imagemagick x11-apps
    clang libclang-rt-14-dev valgrind
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
