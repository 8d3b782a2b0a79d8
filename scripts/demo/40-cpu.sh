#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The CPU check with the full report: processor lines, memory block, the framework's report.
set -euo pipefail
echo "syscheck cpu full:"
"$KR_BIN_DIR/syscheck" cpu full
