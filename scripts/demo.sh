#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# demo.sh BIN_DIR: runs every demo piece in scripts/demo/ in name order.
set -euo pipefail
export KR_BIN_DIR=$(cd "$1" && pwd)
export KR_DEMO_DIR=$(mktemp -d)
trap 'rm -rf "$KR_DEMO_DIR"' EXIT
here=$(dirname "$0")
for piece in "$here"/demo/*.sh; do
    [[ -e $piece ]] || continue
    echo "== $(basename "$piece" .sh)"
    bash "$piece"
    echo
done
