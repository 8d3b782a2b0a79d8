#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Frames per second of 1920 x 1080 RGBA frames written through moviehost, against the
# ffmpeg command fed the same frames from a file on a pipe (cat raw | ffmpeg), with the
# same encoder at the same setting, the same encoder pixel format and default (automatic)
# threads on both sides. The two sides run in turn, A B A B ..., ROUNDS times (at least 3),
# so that the load of a shared machine falls on both alike; printed are the medians, the
# median of the per-round ratios, the peak memory and processor time of each side and the
# output sizes (the same encoder at the same setting must give sizes within 1 %).
set -euo pipefail
bench=${KR_BENCH_BIN_DIR:?}/moviehostWriteBench
rounds=${KR_WRITE_BENCH_ROUNDS:-3}
((rounds >= 3)) || rounds=3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, frames, quality (moviehost), ffmpeg encoder options at the same setting
cases=(
    "mjpeg 120 50 -c:v mjpeg -q:v 3 -pix_fmt yuvj420p"
    "prores_ks 48 60 -c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"
)

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for entry in "${cases[@]}"; do
    read -r codec frames quality ffopts <<<"$entry"
    "$bench" --frames "$frames" --raw "$work/raw"
    cat "$work/raw" >/dev/null
    ours=() theirs=() ratios=() ourPeaks=() theirPeaks=() ourCpu=() theirCpu=()
    for ((round = 0; round < rounds; ++round)); do
        read -r rate peak cpu < <("$bench" --frames "$frames" --codec "$codec" --quality "$quality" \
            --moviehost "$KR_BIN_DIR/moviehost" --out "$work/moviehost.mov")
        ours+=("$rate")
        ourPeaks+=("$peak")
        ourCpu+=("$cpu")
        # shellcheck disable=SC2086
        read -r seconds kib user sys < <({ /usr/bin/time -f '%e %M %U %S' bash -c "cat '$work/raw' | ffmpeg -nostdin -v error \
            -f rawvideo -pix_fmt rgba -s 1920x1080 -r 24 -i - $ffopts -y '$work/ffmpeg.mov'" ; } 2>&1 | tail -1)
        theirRate=$(awk -v f="$frames" -v s="$seconds" 'BEGIN { printf "%.2f", f / s }')
        theirs+=("$theirRate")
        theirCpu+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')")
        theirPeaks+=("$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')")
        ratios+=("$(awk -v a="$rate" -v b="$theirRate" 'BEGIN { printf "%.3f", a / b }')")
    done
    ourSize=$(stat -c %s "$work/moviehost.mov")
    theirSize=$(stat -c %s "$work/ffmpeg.mov")
    printf '%-10s %3d frames, %d rounds: moviehost %s frames/s (peak %s MiB)   cat raw | ffmpeg %s frames/s (peak %s MiB)   paired ratio %s\n' \
        "$codec" "$frames" "$rounds" "$(printf '%s\n' "${ours[@]}" | median)" "$(printf '%s\n' "${ourPeaks[@]}" | median)" \
        "$(printf '%s\n' "${theirs[@]}" | median)" "$(printf '%s\n' "${theirPeaks[@]}" | median)" \
        "$(printf '%s\n' "${ratios[@]}" | median)"
    printf '%-10s   processor seconds (median): moviehost %s   ffmpeg %s\n' "$codec" \
        "$(printf '%s\n' "${ourCpu[@]}" | median)" "$(printf '%s\n' "${theirCpu[@]}" | median)"
    printf '%-10s   rounds: moviehost %s   ffmpeg %s   sizes: moviehost %s bytes, ffmpeg %s bytes (%s %%)\n' "$codec" \
        "${ours[*]}" "${theirs[*]}" "$ourSize" "$theirSize" \
        "$(awk -v a="$ourSize" -v b="$theirSize" 'BEGIN { printf "%+.2f", (a - b) * 100 / b }')"
    rm -f "$work/raw"
done
echo "load average after measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
