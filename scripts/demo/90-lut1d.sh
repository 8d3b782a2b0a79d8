#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The LUT 1D editor in krhost: a plate graded through LUTs picked in the "LUT Browser" and
# reloaded with Refresh, each an undo step; a test picture through each LUT beside its curve;
# then a broken LUT file, refused with its file and line.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$KR_DEMO_DIR"
# The browser saves its layout as a preset; keep it out of the user's own preferences.
export KR_PREFERENCES_DIR="$KR_DEMO_DIR/lut1d-preferences"
echo "krhost examples/lut1d.kr:"
"$KR_BIN_DIR/krhost" "$here/examples/lut1d.kr" | tee lut1d.log
echo
expect_pixel() {
    if grep -qx "$1" lut1d.log; then
        echo "found: $1"
    else
        echo "missing from the output: $1" >&2
        exit 1
    fi
}
expect_pixel "Grade (0, 0) = 0.75 0.5 0 1"
expect_pixel "Grade (0, 0) = 0.532521 0.72974 1 1"

echo
echo "a test picture and a grey ramp through each LUT; the ramp's output draws the curve:"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x180 -frames:v 1 lut1d-input.png
ffmpeg -nostdin -v error -y -f lavfi -i "nullsrc=size=256x1,format=gbrp,geq=r=X:g=X:b=X" -frames:v 1 lut1d-ramp.png
{
    echo "create ImageFile Plate"
    echo "create \"LUT 1D\" Grade"
    echo "connect Plate Grade Input"
    echo "editor open Grade"
    for lut in invert.cube gamma22.spi1d; do
        echo "set Grade Filename \"$here/host-framework/resources/luts/$lut\""
        echo "press Grade Refresh"
        echo "set Plate File \"$KR_DEMO_DIR/lut1d-input.png\""
        echo "png Grade lut1d-$lut.png"
        echo "set Plate File \"$KR_DEMO_DIR/lut1d-ramp.png\""
        echo "png Grade lut1d-$lut-ramp.png"
    done
} >lut1d-pictures.kr
"$KR_BIN_DIR/krhost" lut1d-pictures.kr
for lut in invert.cube gamma22.spi1d; do
    ffmpeg -nostdin -v error -i "lut1d-$lut-ramp.png" -f rawvideo -pix_fmt rgb24 - |
        /usr/bin/python3 "$here/scripts/demo-curve.py" "$lut" >"lut1d-$lut-curve.svg"
    picture "$lut" lut1d-input.png "the input"
    picture "$lut" "lut1d-$lut.png" "through $lut"
    picture "$lut" "lut1d-$lut-curve.svg" "the curve: a grey ramp through $lut"
done

printf 'LUT_1D_SIZE 2\n0 0 0\n1 one 1\n' > broken.cube
echo
echo "a broken LUT file:"
set +e
"$KR_BIN_DIR/krhost" - > broken.log 2>&1 <<SCRIPT
create Constant Plate
create "LUT 1D" Grade
connect Plate Grade Input
set Grade Filename "$here/host-framework/resources/luts/invert.cube"
editor open Grade
press Grade Refresh
set Grade Filename "$KR_DEMO_DIR/broken.cube"
pixel Grade 0 0
press Grade Refresh
SCRIPT
status=$?
set -e
cat broken.log
if [ "$status" -eq 1 ] && grep -q "broken.cube, line 3" broken.log; then
    echo "refused with exit code 1, naming the file and line 3"
else
    echo "the broken LUT was not refused as expected (exit code $status)" >&2
    exit 1
fi
