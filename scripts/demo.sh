#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# demo.sh BIN_DIR OUT_DIR [PIECE...]: runs the demo pieces in scripts/demo/ (all of them in
# name order, or the ones named, such as 20-read) and keeps what they make in OUT_DIR,
# emptied first: their files in OUT_DIR/work, their output, the commands they ran and the
# pictures they chose in OUT_DIR/pieces, and a page showing it all, OUT_DIR/index.html.
set -euo pipefail
if [[ $# -lt 2 ]]; then
    echo "usage: demo.sh BIN_DIR OUT_DIR [PIECE...]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
KR_BIN_DIR=$(cd "$1" && pwd)
export KR_BIN_DIR
out=$2
shift 2
# Only a folder an earlier run made (or an empty one) is emptied: a mistyped OUT_DIR is kept.
if [[ -d $out && ! -d $out/pieces && -n $(ls -A "$out") ]]; then
    echo "demo.sh: \"$out\" holds files that no demo made; give a new or earlier demo folder" >&2
    exit 2
fi
rm -rf "$out"
mkdir -p "$out/work" "$out/pieces"
out=$(cd "$out" && pwd)
export KR_DEMO_DIR=$out/work

# picture ROW FILE CAPTION: shows FILE (relative to KR_DEMO_DIR) on the page, beside the
# other pictures of the same ROW.
picture() { printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$KR_DEMO_PICTURES"; }
export -f picture

if [[ $# -eq 0 ]]; then
    for piece in "$here"/demo/*.sh; do
        set -- "$@" "$(basename "$piece" .sh)"
    done
fi
for name in "$@"; do
    if [[ ! -f $here/demo/$name.sh ]]; then
        echo "demo.sh: no demo piece \"$name\" ($here/demo/$name.sh)" >&2
        exit 2
    fi
    echo "== $name"
    export KR_DEMO_PICTURES=$out/pieces/$name.pictures
    : >"$KR_DEMO_PICTURES"
    # The trace (bash -x) goes to its own file: the page shows the commands from it.
    BASH_XTRACEFD=3 bash -x "$here/demo/$name.sh" 2>&1 3>"$out/pieces/$name.trace" | tee "$out/pieces/$name.log"
    echo
done

/usr/bin/python3 "$here/demo-page.py" "$out" "$KR_BIN_DIR" "$(dirname "$here")"
echo "the demo's pictures and reports: $out/index.html"
echo "open it with: xdg-open $out/index.html"
