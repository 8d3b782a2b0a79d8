#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Movie reading (moviehost r) through the host-side client: a small movie with a drop-frame
# timecode track is made with the ffmpeg command, then described and read back frame by
# frame (forwards and backwards) into PNG files.
set -euo pipefail
movie=$KR_DEMO_DIR/read-demo.mov
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=30000/1001 -frames:v 60 \
    -c:v libx264 -g 15 -bf 2 -pix_fmt yuv420p -timecode '00:00:59;28' "$movie"
echo "a 320 x 240, 60-frame H.264 movie at 29.97 frames/s, timecode starting 00:00:59;28:"
echo
echo "moviehost-client info read-demo.mov:"
"$KR_BIN_DIR/moviehost-client" info "$movie"
echo
echo "moviehost-client frames read-demo.mov frames 0-2 59-57 (backwards across a group of pictures):"
"$KR_BIN_DIR/moviehost-client" frames "$movie" "$KR_DEMO_DIR/frames" 0-2 59-57
ls "$KR_DEMO_DIR/frames"
echo
echo "a file that is no movie gives exit code -6 (moviehost waits two seconds before it exits):"
echo "not a movie" >"$KR_DEMO_DIR/not-a-movie.mov"
"$KR_BIN_DIR/moviehost-client" info "$KR_DEMO_DIR/not-a-movie.mov" || true
