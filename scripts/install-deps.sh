#!/usr/bin/env bash
# Installs every Debian package that building, testing, the demo and the benchmarks
# need. Quiet and quick when everything is already there.
set -euo pipefail

packages=(
    # toolchain and test frameworks
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    # media engine of the movie bridge, and the ffmpeg command used by tests and benchmarks
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg libpng-dev
    # cross compilers that keep the Windows-only sources compiling
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    # X11, GLX and Mesa for the windowing layer and the graphics check
    xvfb xauth libx11-dev libgl-dev libglx-dev libgl1-mesa-dri libxrandr-dev mesa-utils
    # peers of the XML check's benchmark, and the fuzzing toolchain
    libexpat1-dev libxml2-utils clang libclang-rt-14-dev
    # benchmark drivers
    hyperfine time
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
