#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Switcher's user interface in krhost: the source menu in the node's editor, a choice
# from it, the "Switch" hotkey pressed in a viewer, and the menu following undo, a connection
# removed by hand and a source brought out of a closed group; the output after each choice
# is shown as a picture.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$KR_DEMO_DIR"
echo "krhost examples/switcher-ui.kr:"
"$KR_BIN_DIR/krhost" "$here/examples/switcher-ui.kr" | tee switcher-ui.log
# Each output written after a choice, captioned with how the choice was made and the menu
# printed just before it (its current entry starred).
awk '/^key Tab in V: handled$/ { how = "Tab in the viewer, menu" }
     /^menu selectorMenu:/ { menu = substr($0, 20) }
     /^wrote .* to switcher-choice-[0-9]+\.png$/ {
         print $NF "\t" (how ? how : "chosen in the menu") ": " menu
         how = ""
     }' switcher-ui.log |
    while IFS=$'\t' read -r file caption; do
        picture "the Switcher's output after each choice, in turn" "$file" "$caption"
    done
echo
expect() {
    if grep -qxF -- "$1" switcher-ui.log; then
        echo "seen: $1"
    else
        echo "missing from the output: $1" >&2
        exit 1
    fi
}
expect "menu selectorMenu: *R | Q | P"
expect "key Tab in V: handled"
expect "key Space in V: not handled"
expect "menu selectorMenu: *None | R | Q | G - Out"
expect "menu selectorMenu: *G - Out | R | Q"
expect "S (0, 0) = 1 1 0 1"
