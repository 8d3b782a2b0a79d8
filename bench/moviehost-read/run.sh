#!/usr/bin/env bash
# Frames per second of 1920 x 1080 movies read sequentially through moviehost by the client,
# against the ffmpeg command decoding the same file to raw BGRA on a pipe read by a consumer,
# and against ffmpeg's own decode plus BGRA conversion with no consumer (-f null); all in the
# same run with default (automatic) decoder threads. Also reading in reverse order, and the
# peak memory of moviehost while it reads. Processor times (reader plus decoder) are printed
# beside the rates, since on a busy machine the rates also measure the wait for a core.
set -euo pipefail
bench=${KR_BENCH_BIN_DIR:?}/moviehostReadBench
media=${KR_READ_BENCH_MEDIA:-$(mktemp -d)}
[[ -n ${KR_READ_BENCH_MEDIA:-} ]] || trap 'rm -rf "$media"' EXIT

# name, frames, ffmpeg encoder options
cases=(
    "mjpeg 240 -c:v mjpeg -q:v 3 -pix_fmt yuvj420p"
    "prores_ks 96 -c:v prores_ks -profile:v 2"
    "libx264 240 -c:v libx264 -preset veryfast -pix_fmt yuv420p"
)

now() { date +%s.%N; }
rate() { awk -v f="$1" -v s="$2" -v e="$3" 'BEGIN { printf "%.1f", f / (e - s) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

for entry in "${cases[@]}"; do
    read -r codec frames ffopts <<<"$entry"
    movie=$media/$codec.mov
    if [[ ! -e $movie ]]; then
        # shellcheck disable=SC2086
        ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1920x1080:rate=24" -frames:v "$frames" $ffopts -y "$movie"
    fi
    # Warm the page cache so that every reader starts from the same place.
    cat "$movie" >/dev/null

    read -r forward peak cpuOurs < <("$bench" --movie "$movie" --moviehost "$KR_BIN_DIR/moviehost" 2>/dev/null)
    read -r piped cpuPipe < <("$bench" --pipe "$movie" 2>/dev/null)
    TIMEFORMAT='%U %S'
    start=$(now)
    read -r user sys < <({ time ffmpeg -nostdin -v error -i "$movie" -pix_fmt bgra -f null - ; } 2>&1)
    decoded=$(rate "$frames" "$start" "$(now)")
    cpuNull=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    read -r backward backPeak cpuBack < <("$bench" --movie "$movie" --reverse --moviehost "$KR_BIN_DIR/moviehost" 2>/dev/null)

    printf '%-9s %3d frames  moviehost %6s frames/s   ffmpeg pipe %6s (x%s)   ffmpeg -f null %6s (x%s)\n' \
        "$codec" "$frames" "$forward" "$piped" "$(ratio "$forward" "$piped")" "$decoded" "$(ratio "$forward" "$decoded")"
    printf '%-9s processor time: moviehost %ss   ffmpeg pipe %ss (x%s)   ffmpeg -f null %ss (x%s)\n' \
        "$codec" "$cpuOurs" "$cpuPipe" "$(ratio "$cpuPipe" "$cpuOurs")" "$cpuNull" "$(ratio "$cpuNull" "$cpuOurs")"
    printf '%-9s reverse %6s frames/s (x%s of sequential, processor time %ss)   peak memory %s MiB sequential, %s MiB reverse\n' \
        "$codec" "$backward" "$(ratio "$backward" "$forward")" "$cpuBack" "$peak" "$backPeak"
done
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
