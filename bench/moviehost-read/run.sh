#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Reading through moviehost against the ffmpeg command, in turns (A B C A B C ..., at least
# three rounds), on 1080p mjpeg (4:2:0 and 4:4:4), 1080p and 2160p ProRes HQ, and 1080p libx264 with B-frames
# and groups of 48 pictures (also read backwards and at random). The peers:
#   decode alone    ffmpeg -v error -i F -f null -                         (the limit: native format)
#   decode+convert  ffmpeg -v error -i F -pix_fmt bgra -f null -           (the ceiling)
#   pipe            ffmpeg -v error -i F -pix_fmt bgra -f rawvideo - | cat >/dev/null
# Prints medians, the median of the paired (same-round) ratios, and peak memory of both
# sides. KR_BENCH_ROUNDS sets the rounds; KR_BASELINE_MOVIEHOST names an earlier moviehost
# build to run in the same turns; KR_READ_BENCH_MEDIA keeps the movies between runs;
# KR_READ_BENCH_ONLY runs only the cases whose names match that pattern.
set -euo pipefail
bench=${KR_BENCH_BIN_DIR:?}/moviehostReadBench
moviehost=${KR_BIN_DIR:?}/moviehost
rounds=${KR_BENCH_ROUNDS:-3}
baseline=${KR_BASELINE_MOVIEHOST:-}
media=${KR_READ_BENCH_MEDIA:-$(mktemp -d)}
[[ -n ${KR_READ_BENCH_MEDIA:-} ]] || trap 'rm -rf "$media"' EXIT
mkdir -p "$media"
results=$(mktemp)
trap 'rm -f "$results"; [[ -n ${KR_READ_BENCH_MEDIA:-} ]] || rm -rf "$media"' EXIT

# name frames size orders | ffmpeg encoder options
cases=(
    "mjpeg1080 240 1920x1080 forward|-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"
    "mjpeg444_1080 120 1920x1080 forward|-c:v mjpeg -q:v 3 -pix_fmt yuvj444p"
    "proresHQ1080 96 1920x1080 forward|-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"
    "proresHQ2160 48 3840x2160 forward|-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"
    "x264gop48 240 1920x1080 forward,reverse,random|-c:v libx264 -preset veryfast -g 48 -keyint_min 48 -sc_threshold 0 -bf 3 -pix_fmt yuv420p"
)

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
for entry in "${cases[@]}"; do
    read -r name frames size orders <<<"${entry%%|*}"
    [[ $name =~ ${KR_READ_BENCH_ONLY:-.} ]] || continue
    encoder=${entry#*|}
    movie=$media/$name.mov
    if [[ ! -e $movie ]]; then
        # shellcheck disable=SC2086
        ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=$size:rate=24" -frames:v "$frames" $encoder -y "$movie"
    fi
    cat "$movie" >/dev/null
    decode="ffmpeg -nostdin -v error -i '$movie' -f null -"
    null="ffmpeg -nostdin -v error -i '$movie' -pix_fmt bgra -f null -"
    pipe="ffmpeg -nostdin -v error -i '$movie' -pix_fmt bgra -f rawvideo - | cat >/dev/null"
    for ((round = 1; round <= rounds; ++round)); do
        for order in ${orders//,/ }; do
            echo "$name moviehost-$order $round $("$bench" --movie "$movie" --order "$order" --moviehost "$moviehost" 2>/dev/null)" >>"$results"
            if [[ -n $baseline ]]; then
                echo "$name baseline-$order $round $("$bench" --movie "$movie" --order "$order" --moviehost "$baseline" 2>/dev/null)" >>"$results"
            fi
        done
        echo "$name decode $round $("$bench" --command "$decode" --frames "$frames")" >>"$results"
        echo "$name null $round $("$bench" --command "$null" --frames "$frames")" >>"$results"
        echo "$name pipe $round $("$bench" --command "$pipe" --frames "$frames")" >>"$results"
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Lines: case side round frames/s peak-MiB [first-frame-ms]
awk '
function median(list,    n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
{
    key = $1 SUBSEP $2
    fps[key, $3] = $4; fpsList[key] = fpsList[key] " " $4; peakList[key] = peakList[key] " " $5
    if (NF >= 6) firstList[key] = firstList[key] " " $6
    if (!($1 in seen)) { seen[$1] = 1; names[++cases] = $1 }
    if (!(key in sideSeen)) { sideSeen[key] = 1; sides[$1] = sides[$1] " " $2 }
    if ($3 > rounds) rounds = $3
}
function paired(name, a, b,    r, list) {
    list = ""
    for (r = 1; r <= rounds; ++r) if ((name SUBSEP a, r) in fps && (name SUBSEP b, r) in fps)
        list = list " " fps[name SUBSEP a, r] / fps[name SUBSEP b, r]
    return list == "" ? "-" : sprintf("%.2f", median(list))
}
END {
    printf "%-13s %-19s %9s %9s %11s %9s %14s %9s\n", "case", "side", "frames/s", "peak MiB", "first ms", "x decode", "x decode+conv", "x pipe"
    for (c = 1; c <= cases; ++c) {
        name = names[c]
        n = split(sides[name], s, " ")
        for (i = 1; i <= n; ++i) {
            key = name SUBSEP s[i]
            first = (key in firstList) ? sprintf("%.1f", median(firstList[key])) : "-"
            printf "%-13s %-19s %9.1f %9.0f %11s %9s %14s %9s\n", name, s[i], median(fpsList[key]), median(peakList[key]), first,
                paired(name, s[i], "decode"), paired(name, s[i], "null"), paired(name, s[i], "pipe")
        }
        for (i = 1; i <= n; ++i) if (s[i] ~ /^moviehost-(reverse|random)$/) {
            printf "%-13s %-19s x%s of moviehost-forward", name, s[i], paired(name, s[i], "moviehost-forward")
            base = s[i]; sub(/^moviehost/, "baseline", base)
            if ((name SUBSEP base) in fpsList) printf ", x%s of the baseline", paired(name, s[i], base)
            printf "\n"
        }
        if ((name SUBSEP "baseline-forward") in fpsList)
            printf "%-13s %-19s x%s of the baseline\n", name, "moviehost-forward", paired(name, "moviehost-forward", "baseline-forward")
    }
    printf "(%d rounds; ratios are medians of the ratios within each round)\n", rounds
}' "$results"
