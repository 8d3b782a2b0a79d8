#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Movie writing (moviehost w) and back: a test pattern with a tone is made with the ffmpeg
# command as PNG frames and a WAV file, written through moviehost with a lossless codec,
# described with ffprobe, read back through moviehost r, and compared pixel for pixel; frames
# 0, 12 and 24 are shown beside their PNG.
set -euo pipefail
work=$KR_DEMO_DIR/roundtrip
mkdir -p "$work/pattern" "$work/back"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -frames:v 25 "$work/pattern/f%03d.png"
ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 -ac 2 -c:a pcm_s16le \
    "$work/tone.wav"
echo "25 PNG frames of 320 x 240 and one second of 440 Hz stereo at 48000 Hz, written as a movie:"
echo
echo "moviehost-client encode --codec png --fps 25 --quality 50 -o roundtrip.mov f*.png --audio tone.wav:"
ZEPH_QUICKTIME_ENCODING_GAMMA=1.8 "$KR_BIN_DIR/moviehost-client" encode --codec png --fps 25 --quality 50 \
    -o "$work/roundtrip.mov" "$work"/pattern/f*.png --audio "$work/tone.wav"
echo
echo "its tracks, as ffprobe sees them:"
ffprobe -v error -show_entries stream=index,codec_type,codec_name,codec_tag_string,time_base,nb_frames,sample_rate \
    -of compact=p=0 "$work/roundtrip.mov"
echo
echo "read back through moviehost r:"
"$KR_BIN_DIR/moviehost-client" info "$work/roundtrip.mov"
"$KR_BIN_DIR/moviehost-client" frames "$work/roundtrip.mov" "$work/back" 0-24 >/dev/null
same=0
for n in $(seq 0 24); do
    original=$(ffmpeg -nostdin -v error -i "$work/pattern/f$(printf %03d $((n + 1))).png" -f rawvideo -pix_fmt rgb24 - | md5sum)
    read_back=$(ffmpeg -nostdin -v error -i "$work/back/frame-$(printf %06d "$n").png" -f rawvideo -pix_fmt rgb24 - | md5sum)
    verdict="differs from its PNG"
    if [[ $original == "$read_back" ]]; then
        same=$((same + 1))
        verdict="identical to its PNG"
    fi
    if ((n % 12 == 0)); then
        picture "frame $n" "roundtrip/pattern/f$(printf %03d $((n + 1))).png" "the PNG written as frame $n"
        picture "frame $n" "roundtrip/back/frame-$(printf %06d "$n").png" "frame $n read back: $verdict"
    fi
done
echo "frames identical to their PNG: $same of 25"
echo
echo "an unknown codec name falls back to mjpeg ('jpeg'):"
"$KR_BIN_DIR/moviehost-client" encode --codec H264 --fps 25 -o "$work/fallback.mov" "$work"/pattern/f00[1-5].png \
    2>/dev/null
ffprobe -v error -select_streams v -show_entries stream=codec_name,codec_tag_string -of compact=p=0 "$work/fallback.mov"
