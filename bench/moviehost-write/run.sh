#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Frames per second of 1920 x 1080 RGBA frames written through moviehost, against the
# ffmpeg command fed the same frames from a file on a pipe (cat raw | ffmpeg), with the
# same encoder at the same setting, the same encoder pixel format and default (automatic)
# threads on both sides; and against the encoder alone (the limit): ffmpeg encoding the
# same pictures already in the encoder's pixel format from a file. The sides run in turn,
# A B C, B C A, ..., ROUNDS times (at least 3), so that the load of a shared machine falls
# on all alike; printed are the medians, the medians of the per-round ratios, the peak
# memory and processor time of each side, the output sizes and the quality of both outputs
# against the source (PSNR), and the load average.
set -euo pipefail
bench=${KR_BENCH_BIN_DIR:?}/moviehostWriteBench
rounds=${KR_WRITE_BENCH_ROUNDS:-5}
((rounds >= 3)) || rounds=3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, frames, quality (moviehost), ffmpeg encoder options at the same setting
cases=(
    "mjpeg 120 50 -c:v mjpeg -q:v 3 -pix_fmt yuvj420p"
    "prores_ks 48 60 -c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"
)

# PSNR in dB of a movie's pictures against the raw RGBA source, averaged over frames and channels.
psnr() {
    ffmpeg -nostdin -v info -i "$1" -f rawvideo -pix_fmt rgba -s 1920x1080 -r 24 -i "$2" \
        -lavfi '[0:v]format=rgba[a];[1:v]format=rgba[b];[a][b]psnr' -f null - 2>&1 |
        sed -nE 's/.*PSNR .* average:([0-9.]+|inf) .*/\1/p'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for entry in "${cases[@]}"; do
    read -r codec frames quality ffopts <<<"$entry"
    "$bench" --frames "$frames" --raw "$work/raw"
    cat "$work/raw" >/dev/null
    encoded=$(sed -E 's/.*-pix_fmt ([a-z0-9]+).*/\1/' <<<"$ffopts")
    ffmpeg -nostdin -v error -f rawvideo -pix_fmt rgba -s 1920x1080 -i "$work/raw" -pix_fmt "$encoded" \
        -f rawvideo -y "$work/raw.$encoded"
    cat "$work/raw.$encoded" >/dev/null
    ours=() theirs=() ratios=() ourPeaks=() theirPeaks=() ourCpu=() theirCpu=()
    limits=() limitRatios=() limitPeaks=() limitCpu=()
    loads=()
    # One side by name; prints frames/s, peak MiB and processor seconds.
    side() {
        case $1 in
        moviehost)
            "$bench" --frames "$frames" --codec "$codec" --quality "$quality" \
                --moviehost "$KR_BIN_DIR/moviehost" --out "$work/moviehost.mov"
            ;;
        pipe | limit)
            local input="cat '$work/raw' | ffmpeg -nostdin -v error -f rawvideo -pix_fmt rgba -s 1920x1080 -r 24 -i -"
            local out=$work/ffmpeg.mov
            if [[ $1 == limit ]]; then
                input="ffmpeg -nostdin -v error -f rawvideo -pix_fmt $encoded -s 1920x1080 -r 24 -i '$work/raw.$encoded'"
                out=$work/limit.mov
            fi
            # shellcheck disable=SC2086
            { /usr/bin/time -f '%e %M %U %S' bash -c "$input $ffopts -y '$out'"; } 2>&1 | tail -1 |
                awk -v f="$frames" '{ printf "%.2f %.1f %.2f\n", f / $1, $2 / 1024, $3 + $4 }'
            ;;
        esac
    }
    order=(moviehost pipe limit)
    for ((round = 0; round < rounds; ++round)); do
        loads+=("$(cut -d' ' -f1 /proc/loadavg)")
        for ((turn = 0; turn < 3; ++turn)); do
            name=${order[(round + turn) % 3]}
            read -r rate peak cpu < <(side "$name")
            case $name in
            moviehost) ours+=("$rate") ourPeaks+=("$peak") ourCpu+=("$cpu") ;;
            pipe) theirs+=("$rate") theirPeaks+=("$peak") theirCpu+=("$cpu") ;;
            limit) limits+=("$rate") limitPeaks+=("$peak") limitCpu+=("$cpu") ;;
            esac
        done
        ratios+=("$(awk -v a="${ours[round]}" -v b="${theirs[round]}" 'BEGIN { printf "%.3f", a / b }')")
        limitRatios+=("$(awk -v a="${ours[round]}" -v b="${limits[round]}" 'BEGIN { printf "%.3f", a / b }')")
    done
    ourSize=$(stat -c %s "$work/moviehost.mov")
    theirSize=$(stat -c %s "$work/ffmpeg.mov")
    printf '%-10s %3d frames, %d rounds (load %s): moviehost %s frames/s (peak %s MiB)   cat raw | ffmpeg %s frames/s (peak %s MiB)   encoder alone %s frames/s (peak %s MiB)\n' \
        "$codec" "$frames" "$rounds" "${loads[*]}" "$(printf '%s\n' "${ours[@]}" | median)" \
        "$(printf '%s\n' "${ourPeaks[@]}" | median)" "$(printf '%s\n' "${theirs[@]}" | median)" \
        "$(printf '%s\n' "${theirPeaks[@]}" | median)" "$(printf '%s\n' "${limits[@]}" | median)" \
        "$(printf '%s\n' "${limitPeaks[@]}" | median)"
    printf '%-10s   paired ratio moviehost / cat raw | ffmpeg %s, moviehost / encoder alone %s\n' "$codec" \
        "$(printf '%s\n' "${ratios[@]}" | median)" "$(printf '%s\n' "${limitRatios[@]}" | median)"
    printf '%-10s   processor seconds (median): moviehost %s   ffmpeg %s   encoder alone %s\n' "$codec" \
        "$(printf '%s\n' "${ourCpu[@]}" | median)" "$(printf '%s\n' "${theirCpu[@]}" | median)" \
        "$(printf '%s\n' "${limitCpu[@]}" | median)"
    printf '%-10s   rounds: moviehost %s   ffmpeg %s   encoder alone %s   sizes: moviehost %s bytes, ffmpeg %s bytes (%s %%)\n' \
        "$codec" "${ours[*]}" "${theirs[*]}" "${limits[*]}" "$ourSize" "$theirSize" \
        "$(awk -v a="$ourSize" -v b="$theirSize" 'BEGIN { printf "%+.2f", (a - b) * 100 / b }')"
    printf '%-10s   quality against the source (PSNR): moviehost %s dB, ffmpeg %s dB\n' "$codec" \
        "$(psnr "$work/moviehost.mov" "$work/raw")" "$(psnr "$work/ffmpeg.mov" "$work/raw")"
    rm -f "$work/raw" "$work/raw.$encoded"
done
echo "load average after measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
