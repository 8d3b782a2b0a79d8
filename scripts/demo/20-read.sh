#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Movie reading (moviehost r) through the host-side client: a small movie with a drop-frame
# timecode track is made with the ffmpeg command, then described and read back frame by
# frame into PNG files: forwards over the minute where drop-frame timecode skips two numbers,
# and backwards across the key frame that begins the second group of pictures.
set -euo pipefail
movie=$KR_DEMO_DIR/read-demo.mov
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=30000/1001 -frames:v 60 \
    -c:v libx264 -g 15 -bf 2 -pix_fmt yuv420p -timecode '00:00:59;28' "$movie"
echo "a 320 x 240, 60-frame H.264 movie at 29.97 frames/s, timecode starting 00:00:59;28:"
echo
echo "moviehost-client info read-demo.mov:"
"$KR_BIN_DIR/moviehost-client" info "$movie"
echo
# show_frames ROW LISTING: each frame file the client listed, with its timecode as caption.
show_frames() {
    while read -r file timecode; do
        if [[ $file == frame-*.png ]]; then
            picture "$1" "frames/$file" "frame $((10#${file//[^0-9]/})), $timecode"
        fi
    done <"$2"
}
echo "moviehost-client frames read-demo.mov frames 0-2 (forwards over the minute, drop-frame):"
"$KR_BIN_DIR/moviehost-client" frames "$movie" "$KR_DEMO_DIR/frames" 0-2 | tee "$KR_DEMO_DIR/forwards.txt"
show_frames "forwards, frames 0-2: the timecode skips ;00 and ;01 at the minute" "$KR_DEMO_DIR/forwards.txt"
echo
echo "moviehost-client frames read-demo.mov frames 17-13 (backwards across the key frame at 15):"
"$KR_BIN_DIR/moviehost-client" frames "$movie" "$KR_DEMO_DIR/frames" 17-13 | tee "$KR_DEMO_DIR/backwards.txt"
show_frames "backwards, frames 17-13: across the key frame at 15 into the group before it" \
    "$KR_DEMO_DIR/backwards.txt"
echo
echo "a file that is no movie gives exit code -6 (moviehost waits two seconds before it exits):"
echo "not a movie" >"$KR_DEMO_DIR/not-a-movie.mov"
"$KR_BIN_DIR/moviehost-client" info "$KR_DEMO_DIR/not-a-movie.mov" || true
