#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Median round trip of one control word through moviehost (mode q) against a bare
# socket + semaphore round trip between two processes, measured in the same run.
set -euo pipefail
: "${KR_BIN_DIR:?}" "${KR_BENCH_BIN_DIR:?}"
# Where the scheduler places the two peers against the host (the same core or the other)
# changes a round trip by half; each turn starts both afresh, and the median of the turns'
# ratios is the figure to read.
turns=${TURNS:-5}
((turns >= 3)) || turns=3
ratios=()
for ((turn = 1; turn <= turns; ++turn)); do
    read -r ours bare ratio peaks < <("$KR_BENCH_BIN_DIR/moviehostLatency" "$KR_BIN_DIR/moviehost" "${ROUNDS:-3000}" trips |
        awk '/through moviehost/ {o = $(NF-1)} /bare socket/ {b = $(NF-1)} /ratio/ {r = $NF}
             /peak memory/ {p = $(NF-3) " / " $(NF-1) " MiB"} END {print o, b, r, p}')
    echo "turn $turn: moviehost $ours us, bare echo $bare us, ratio $ratio, peak memory moviehost / echo $peaks (load $(cut -d' ' -f1 /proc/loadavg))"
    ratios+=("$ratio")
done
echo "control word round trip: median ratio moviehost / bare echo over $turns turns: $(printf '%s\n' "${ratios[@]}" |
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
"$KR_BENCH_BIN_DIR/moviehostLatency" "$KR_BIN_DIR/moviehost" 1000 | sed -n '/codec query/,$p'

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
