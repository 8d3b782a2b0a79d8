#!/usr/bin/env bash
# Median round trip of one control word through moviehost (mode q) against a bare
# socket + semaphore round trip between two processes, measured in the same run.
set -euo pipefail
: "${KR_BIN_DIR:?}" "${KR_BENCH_BIN_DIR:?}"
"$KR_BENCH_BIN_DIR/moviehostLatency" "$KR_BIN_DIR/moviehost" "${ROUNDS:-5000}"
