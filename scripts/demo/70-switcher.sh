#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Switcher tool in krhost: a document routing one of three sources through a Switcher,
# the output compared with the selected source pixel for pixel, and a saved document whose
# unconnected entries are dropped when it is opened again.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$KR_DEMO_DIR"
echo "krhost examples/switcher.kr:"
"$KR_BIN_DIR/krhost" "$here/examples/switcher.kr"
row="three sources and the Switcher S, P selected"
picture "$row" switcher-p.png "source P, on Selected Image"
picture "$row" switcher-q.png "source Q, on Other Images"
picture "$row" switcher-r.png "source R, on Other Images"
picture "$row" switcher-s.png "the Switcher's output: P"
echo
if cmp -s switcher-p.png switcher-s.png; then
    echo "switcher-s.png (the Switcher's output) and switcher-p.png (its selected source) are identical"
else
    echo "switcher-s.png differs from switcher-p.png" >&2
    exit 1
fi
