#!/usr/bin/env bash
# Frames per second of 1920 x 1080 RGBA frames written through moviehost, against the
# ffmpeg command fed the same frames on a pipe, in the same run: same encoder, same
# quality control, same encoder pixel format, default (automatic) threads on both sides.
# Both clocks start once the pictures are made and stop when the movie is complete.
set -euo pipefail
bench=${KR_BENCH_BIN_DIR:?}/moviehostWriteBench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, frames, quality (moviehost), ffmpeg encoder options at the same setting
cases=(
    "mjpeg 240 50 -c:v mjpeg -q:v 3 -pix_fmt yuvj420p"
    "prores_ks 48 50 -c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"
)

for entry in "${cases[@]}"; do
    read -r codec frames quality ffopts <<<"$entry"
    read -r ours peak ourCpu < <("$bench" --frames "$frames" --codec "$codec" --quality "$quality" \
        --moviehost "$KR_BIN_DIR/moviehost" --out "$work/moviehost.mov")
    read -r theirs _ theirCpu < <("$bench" --frames "$frames" \
        --pipe "ffmpeg -v error -f rawvideo -pix_fmt rgba -s 1920x1080 -r 24 -i - $ffopts -y $work/ffmpeg.mov")
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    printf '%-10s moviehost %7s frames/s (peak %s MiB, %s s processor)   ffmpeg pipe %7s frames/s (%s s processor)   ratio %s\n' \
        "$codec" "$ours" "$peak" "$ourCpu" "$theirs" "$theirCpu" "$ratio"
    printf '%-10s sizes: moviehost %s bytes, ffmpeg %s bytes\n' "$codec" \
        "$(stat -c %s "$work/moviehost.mov")" "$(stat -c %s "$work/ffmpeg.mov")"
done
