#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# bench.sh BIN_DIR: runs bench/<area>/run.sh for every area (each prints its figures and ratios).
set -euo pipefail
export KR_BIN_DIR=$(cd "$1" && pwd)
export KR_BENCH_BIN_DIR=$(cd "$1/../bench" 2>/dev/null && pwd || echo "$KR_BIN_DIR")
here=$(cd "$(dirname "$0")/.." && pwd)
for b in "$here"/bench/*/run.sh; do
    [[ -e $b ]] || continue
    echo "== bench/$(basename "$(dirname "$b")")"
    bash "$b"
    echo
done
