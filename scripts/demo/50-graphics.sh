#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The graphics check: screen mode, OpenGL identification, driver version, extensions, pixel
# formats and pixel buffers. Without a display it runs on a private Xvfb server.
set -euo pipefail
if [[ -n ${DISPLAY:-} ]]; then
    echo "syscheck graphics (display $DISPLAY):"
    "$KR_BIN_DIR/syscheck" graphics
else
    echo "syscheck graphics (no display: on Xvfb, 1920x1080 at depth 24, Mesa's software renderer):"
    xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$KR_BIN_DIR/syscheck" graphics
fi
