#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Median round trip of one control word through moviehost (mode q) against a bare
# socket + semaphore round trip between two processes, measured in the same run.
set -euo pipefail
: "${KR_BIN_DIR:?}" "${KR_BENCH_BIN_DIR:?}"
"$KR_BENCH_BIN_DIR/moviehostLatency" "$KR_BIN_DIR/moviehost" "${ROUNDS:-5000}"

# The same round trip through the Windows build under Wine (Win32 channel, made by the
# windows-labelled tests), beside the Linux one, in turns.
build_dir=$(cd "$KR_BIN_DIR/.." && pwd)
windows_host=$build_dir/windows/x86_64/bin/moviehostWin32HostTest.exe
wine_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh
if [[ -f $windows_host && -f $build_dir/wine-prefix/.kr-ready ]]; then
    rounds=${WINE_ROUNDS:-2000}
    echo "control word round trip, Linux build against the Windows build under Wine ($rounds each, 3 turns)"
    for turn in 1 2 3; do
        linux=$("$KR_BENCH_BIN_DIR/moviehostLatency" "$KR_BIN_DIR/moviehost" "$rounds" |
            awk '/through moviehost/ {print $(NF-1)}')
        wine=$("$wine_run" run "$build_dir/wine-prefix" "$windows_host" latency "$rounds" 2>/dev/null |
            awk '{for (i = 1; i < NF; i++) if ($i == "median") print $(i + 1)}')
        echo "  turn $turn: Linux $linux us, Wine $wine us (load $(cut -d' ' -f1 /proc/loadavg))"
    done
else
    echo "Windows build under Wine: not made here (ctest -L windows makes it)"
fi
