#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Notes tool in krhost: a plate passed through a Notes node, its output compared with the
# plate pixel for pixel; the note edited in the editor, undone, saved and found again after
# the document is opened.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$KR_DEMO_DIR"
echo "krhost examples/notes.kr:"
"$KR_BIN_DIR/krhost" "$here/examples/notes.kr" | tee notes.log
echo
picture "the Notes node passes its input through" notes-plate.png "notes-plate.png, the plate"
picture "the Notes node passes its input through" notes-output.png "notes-output.png, the Notes node's output"
if cmp -s notes-plate.png notes-output.png; then
    echo "notes-output.png (the Notes node's output) and notes-plate.png (its input) are identical"
else
    echo "notes-output.png differs from notes-plate.png" >&2
    exit 1
fi
if [ "$(grep "^N.Notes = " notes.log | tail -n 1)" = "N.Notes = Plate from reel 3: check the grade" ]; then
    echo "the note came back with the opened document"
else
    echo "the note was not found in the opened document" >&2
    exit 1
fi
