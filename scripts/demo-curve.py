#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""demo-curve.py TITLE < RGB > SVG: draws what a grey ramp became (8-bit red, green, blue
triples on standard input, darkest input first) as three curves over the input level, with
the unchanged ramp dashed for reference."""
import sys
from xml.sax.saxutils import escape

SIZE = 240  # the plot's side, in SVG units
MARGIN = 24


def point(index, count, value):
    x = MARGIN + SIZE * index / max(count - 1, 1)
    y = MARGIN + SIZE * (1 - value / 255)
    return f"{x:.1f},{y:.1f}"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: demo-curve.py TITLE < RGB > SVG")
    data = sys.stdin.buffer.read()
    count = len(data) // 3
    if count < 2 or len(data) % 3:
        sys.exit(f"demo-curve.py: {len(data)} bytes on standard input are not two or more RGB triples")
    side = SIZE + 2 * MARGIN
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{side}" height="{side}" viewBox="0 0 {side} {side}">',
           f"<title>{escape(sys.argv[1])}</title>",
           f'<rect x="{MARGIN}" y="{MARGIN}" width="{SIZE}" height="{SIZE}" fill="#fff" stroke="#888"/>',
           f'<line x1="{MARGIN}" y1="{MARGIN + SIZE}" x2="{MARGIN + SIZE}" y2="{MARGIN}" stroke="#bbb"'
           ' stroke-dasharray="4 4"/>']
    # Wider lines first, so that channels that agree still show as three bands.
    for channel, (colour, width) in enumerate((("#d00", 6), ("#0a0", 3.5), ("#00d", 1.5))):
        points = " ".join(point(i, count, data[3 * i + channel]) for i in range(count))
        out.append(f'<polyline fill="none" stroke="{colour}" stroke-width="{width}" points="{points}"/>')
    out.append(f'<text x="{MARGIN}" y="{side - 6}" font-size="11" font-family="sans-serif">input 0 to 1</text>')
    for offset, colour, name in ((0, "#d00", "red"), (28, "#0a0", "green"), (66, "#00d", "blue")):
        out.append(f'<text x="{side - MARGIN - 92 + offset}" y="{MARGIN - 8}" font-size="11"'
                   f' font-family="sans-serif" fill="{colour}">{name}</text>')
    out.append(f'<text x="4" y="{MARGIN - 8}" font-size="11" font-family="sans-serif">output</text>')
    out.append("</svg>")
    print("\n".join(out))


if __name__ == "__main__":
    main()
