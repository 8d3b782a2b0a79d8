#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# How the time to open a document grows with its size: krhost opens generated documents of
# DOC_BENCH_NODES (default 32000), twice and four times as many Notes nodes, each with a note
# and fed by the one before (one long chain, the hardest case for the cycle check), run in
# turn round after round (DOC_BENCH_ROUNDS, default 5) beside a krhost that opens nothing and
# `xmllint --noout` on the largest (what reading the XML alone costs a common tool).
# Prints per size the median wall and processor time and the peak memory, and the paired
# ratios to the smallest size: a loader linear in size gives about 2 and 4 (less, as start-up
# weighs on the small one), and the four-times document must open in at most five times the time.
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of krhost}
nodes=${DOC_BENCH_NODES:-32000}
rounds=${DOC_BENCH_ROUNDS:-5}
here=$(cd "$(dirname "$0")" && pwd)
for tool in python3 time xmllint; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# document FILE COUNT: COUNT Notes nodes in one chain.
document() {
    python3 - "$1" "$2" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
with open(path, "w", encoding="utf-8") as out:
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n<document version="1">\n')
    for i in range(count):
        out.write(f'  <node name="N{i}" tool="Notes">\n    <value name="Notes">note {i} &lt;&amp;&gt;</value>\n  </node>\n')
    for i in range(1, count):
        out.write(f'  <connection input="N{i}" socket="Input" source="N{i - 1}" output="Output"/>\n')
    out.write("</document>\n")
PY
}

sizes=("$nodes" $((nodes * 2)) $((nodes * 4)))
for n in "${sizes[@]}"; do
    document "$work/doc$n.xml" "$n"
    printf 'open doc%s.xml\nprint graph\n' "$n" >"$work/open$n.kr"
    # A document that is refused would be timed as a fast failure: make sure it opens whole.
    found=$(cd "$work" && "$bin/krhost" "open$n.kr" | grep -c '^node ')
    [[ $found == "$n" ]] || { echo "krhost opened $found of the $n nodes of doc$n.xml" >&2; exit 1; }
    printf 'open doc%s.xml\n' "$n" >"$work/open$n.kr"
    printf '%8s nodes: %6.1f MB\n' "$n" "$(awk -v b="$(stat -c %s "$work/doc$n.xml")" 'BEGIN { print b / 1048576 }')"
done
: >"$work/empty.kr"

cd "$work"
python3 "$here/../alternateRuns.py" "$rounds" 1 \
    "krhost, no document=$bin/krhost empty.kr" \
    "open ${sizes[2]} nodes=$bin/krhost open${sizes[2]}.kr" \
    "open ${sizes[1]} nodes=$bin/krhost open${sizes[1]}.kr" \
    "xmllint ${sizes[2]} nodes=xmllint --noout doc${sizes[2]}.xml" \
    "open ${sizes[0]} nodes=$bin/krhost open${sizes[0]}.kr" | tee "$work/report"
ratio=$(sed -n "s|^paired ratio open ${sizes[2]} nodes / open ${sizes[0]} nodes: median \([0-9.]*\).*|\1|p" "$work/report")
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 5) ? "within" : "BEYOND" }')
echo "four times the nodes: $ratio times the time, $verdict the bound of 5"
