#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Start-up of the CPU check against lscpu, the tool a user would otherwise reach for:
# `syscheck cpu`, `syscheck cpu full` (which adds the framework's lscpu-like report) and
# `lscpu`, run in turn round after round (CPU_BENCH_ROUNDS, default 300, after a warm-up),
# output discarded. Prints per command the median wall and processor time and the peak
# resident memory, and the paired ratios syscheck / lscpu (median of the per-round ratios).
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of syscheck}
rounds=${CPU_BENCH_ROUNDS:-300}
here=$(cd "$(dirname "$0")" && pwd)
for tool in lscpu python3 time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# A check that fails would be timed as a fast failure: make sure it works first.
"$bin/syscheck" cpu >/dev/null || { echo "syscheck cpu failed (exit $?)" >&2; exit 1; }

if [ -d /sys/devices/system/cpu/cpu0/cache ]; then
    echo "caches from sysfs (/sys/devices/system/cpu/cpu0/cache present)"
else
    echo "caches from the processor (no /sys/devices/system/cpu/cpu0/cache)"
fi
python3 "$here/../alternateRuns.py" "$rounds" 10 \
    "syscheck cpu=$bin/syscheck cpu" \
    "syscheck cpu full=$bin/syscheck cpu full" \
    "lscpu=lscpu"
