#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The LUT 1D editor in krhost: a plate graded through LUTs picked in the "LUT Browser" and
# reloaded with Refresh, each an undo step; then a broken LUT file, refused with its file and
# line.
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
