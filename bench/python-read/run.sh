#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Frames per second of 1920 x 1080 movies read into NumPy arrays in Python: the moviehost module
# against PyAV and against the ffmpeg command on a pipe, alternated round by round
# (pythonReadBench.py says how). Debian's interpreter runs it: numpy and PyAV are its packages.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
python=${KR_PYTHON:-/usr/bin/python3}
rounds=${KR_PYTHON_BENCH_ROUNDS:-3}
package=$(ls -d "${KR_BIN_DIR:?}"/../lib/python3*/dist-packages/moviehost 2>/dev/null | head -1)
[[ -n $package ]] || { echo "python-read: the moviehost package is not built beside $KR_BIN_DIR" >&2; exit 1; }
media=${KR_PYTHON_BENCH_MEDIA:-$(mktemp -d)}
[[ -n ${KR_PYTHON_BENCH_MEDIA:-} ]] || trap 'rm -rf "$media"' EXIT

# name, frames, ffmpeg encoder options
cases=(
    "mjpeg 120 -c:v mjpeg -q:v 3 -pix_fmt yuvj420p"
    "prores_hq 72 -c:v prores_ks -profile:v 3"
    "libx264 120 -c:v libx264 -preset veryfast -pix_fmt yuv420p"
)
movies=()
for entry in "${cases[@]}"; do
    read -r name frames ffopts <<<"$entry"
    movie=$media/$name.mov
    if [[ ! -e $movie ]]; then
        # shellcheck disable=SC2086
        ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1920x1080:rate=24" -frames:v "$frames" $ffopts -y "$movie"
    fi
    cat "$movie" >/dev/null
    movies+=("$movie")
done
PYTHONPATH=$(dirname "$package") PATH=$KR_BIN_DIR:$PATH "$python" "$here/pythonReadBench.py" compare "$rounds" "${movies[@]}"
