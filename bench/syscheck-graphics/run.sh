#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Wall time of the graphics check against glxinfo, the tool a user would otherwise reach for,
# on one and the same Xvfb server (Mesa's llvmpipe): `syscheck graphics`, `glxinfo` (everything,
# extensions included) and `glxinfo -B` (the identification only, the reference), run in turn
# for GRAPHICS_BENCH_RUNS rounds (default 50) after a warm-up, output discarded. Prints median
# times, peak memory and the paired ratios to glxinfo -B.
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of syscheck}
runs=${GRAPHICS_BENCH_RUNS:-50}
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run glxinfo; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# Everything below runs inside one server; a check that fails would be timed as a fast
# failure, so it is run once first.
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" bash -c '
    set -euo pipefail
    "$1/syscheck" graphics >/dev/null || { echo "syscheck graphics failed (exit $?)" >&2; exit 1; }
    python3 "$3/../alternateRuns.py" "$2" 5 "syscheck graphics=$1/syscheck graphics" "glxinfo=glxinfo" \
        "glxinfo -B=glxinfo -B"
' bench "$bin" "$runs" "$here"
