#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""demo-page.py OUT_DIR BIN_DIR SOURCE_DIR: writes OUT_DIR/index.html, a static page of
what demo.sh kept in OUT_DIR: per piece its description, the commands it ran (from its bash
trace), the pictures it chose (OUT_DIR/pieces/NAME.pictures: row, file, caption, tab
separated) side by side with their captions, and its output. The page is XHTML that a
browser also reads as HTML: no script, nothing fetched, every text escaped."""
import math
import pathlib
import re
import struct
import sys
from urllib.parse import quote

# The trace lines worth showing: commands that run one of these programs.
PROGRAMS = {"moviehost-client", "syscheck", "krhost", "ffmpeg", "ffprobe", "xvfb-run"}
SMALLEST_SHOWN = 96  # narrower pictures are enlarged, pixels kept square and sharp
WIDEST_SHOWN = 320

STYLE = """
body { font-family: sans-serif; margin: 1.5em; color: #222; background: #fff; }
section { border-top: 2px solid #ccc; margin-top: 2em; }
pre { background: #f3f3f3; padding: 0.6em; overflow: auto; max-height: 28em; font-size: 0.85em; }
pre.commands { background: #e8eef6; }
.pictures { display: flex; flex-wrap: wrap; gap: 1em; align-items: flex-start; }
figure { margin: 0; padding: 0.4em; border: 1px solid #ddd; background: #fafafa; }
figcaption { font-size: 0.85em; max-width: 320px; margin-top: 0.3em; }
img.enlarged { image-rendering: pixelated; }
h3 { font-size: 1em; margin-bottom: 0.4em; }
"""

# Characters XML 1.0 does not allow in a document (C0 controls but tab, newline, return).
NOT_IN_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")


def escape(text, quote=False):
    text = NOT_IN_XML.sub("\ufffd", text).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
    return text.replace('"', "&quot;") if quote else text


def read_text(path):
    return path.read_text(encoding="utf-8", errors="replace") if path.exists() else ""


def shortener(out, bin_dir, source):
    """Drops the run's own folders from paths, leaving the names a reader knows."""
    # Longest first: the work folder lies inside the build folder inside the sources.
    prefixes = sorted((str(p) + "/" for p in (out / "work", bin_dir, out, source)), key=len, reverse=True)

    def shorten(text):
        for prefix in prefixes:
            text = text.replace(prefix, "")
        return text
    return shorten


def description(source, name):
    """The comment under the licence line of the piece's script."""
    taken = []
    for line in read_text(source / "scripts" / "demo" / f"{name}.sh").splitlines()[1:]:
        if not line.startswith("#"):
            break
        if "SPDX-License" not in line:
            taken.append(line.lstrip("# "))
    return " ".join(taken)


def commands(trace_text):
    """Commands at the piece's own level (one '+') that run one of PROGRAMS."""
    shown = []
    for line in trace_text.splitlines():
        if not line.startswith("+ "):
            continue
        words = line[2:].split()
        while words and re.match(r"^[A-Za-z_][A-Za-z0-9_]*=", words[0]):
            words.pop(0)
        if words and words[0].rsplit("/", 1)[-1] in PROGRAMS:
            shown.append(line[2:])
    return shown


def picture_size(path):
    """Width and height of a PNG or of our SVG, None when unknown."""
    try:
        head = path.read_bytes()[:4096]
    except OSError:
        return None
    if head.startswith(b"\x89PNG\r\n\x1a\n") and len(head) >= 24:
        return struct.unpack(">II", head[16:24])
    found = re.search(rb'<svg[^>]*\swidth="(\d+)"[^>]*\sheight="(\d+)"', head)
    return (int(found.group(1)), int(found.group(2))) if found else None


def figure(out, file, caption, unreadable):
    path = out / "work" / file
    size = picture_size(path)
    if size is None:
        unreadable.append(str(path))
    attributes = f'src="{escape(quote("work/" + file), True)}" alt="{escape(caption, True)}"'
    if size and size[0] > 0:
        width, height = size
        scale = math.ceil(SMALLEST_SHOWN / width) if width < SMALLEST_SHOWN else min(1.0, WIDEST_SHOWN / width)
        enlarged = ' class="enlarged"' if scale > 1 else ""
        attributes += f' width="{round(width * scale)}" height="{round(height * scale)}"{enlarged}'
    return f"<figure><img {attributes}/><figcaption>{escape(caption)}</figcaption></figure>"


def picture_rows(out, name, unreadable):
    rows = {}
    for line in read_text(out / "pieces" / f"{name}.pictures").splitlines():
        fields = line.split("\t")
        if len(fields) == 3:
            rows.setdefault(fields[0], []).append(fields[1:])
    html = []
    for row, pictures in rows.items():
        html.append(f'<h3>{escape(row)}</h3>\n<div class="pictures">')
        html.extend(figure(out, file, caption, unreadable) for file, caption in pictures)
        html.append("</div>")
    return html


def section(out, source, shorten, name, unreadable):
    html = [f'<section id="piece-{escape(name, True)}">', f"<h2>{escape(name)}</h2>"]
    about = description(source, name)
    if about:
        html.append(f"<p>{escape(about)}</p>")
    ran = commands(read_text(out / "pieces" / f"{name}.trace"))
    if ran:
        html.append("<h3>commands</h3>")
        html.append(f'<pre class="commands">{escape(shorten(chr(10).join(ran)))}</pre>')
    html.extend(picture_rows(out, name, unreadable))
    html.append("<h3>output</h3>")
    html.append(f'<pre class="output">{escape(shorten(read_text(out / "pieces" / f"{name}.log")))}</pre>')
    html.append("</section>")
    return html


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: demo-page.py OUT_DIR BIN_DIR SOURCE_DIR")
    out, bin_dir, source = (pathlib.Path(a).resolve() for a in sys.argv[1:])
    names = sorted(p.stem for p in (out / "pieces").glob("*.log"))
    shorten = shortener(out, bin_dir, source)
    html = ['<!DOCTYPE html>', '<html xmlns="http://www.w3.org/1999/xhtml" lang="en">',
            '<head><meta charset="utf-8"/><title>make demo: what each program made</title>',
            f"<style>{STYLE}</style></head>", "<body>", "<h1>make demo: what each program made</h1>",
            "<p>Each piece of the demo with the commands it ran, the pictures it made and its output. "
            "Paths are relative to the build's programs, this page's work folder or the sources.</p>",
            "<p>" + " | ".join(f'<a href="#piece-{escape(n, True)}">{escape(n)}</a>' for n in names) + "</p>"]
    unreadable = []
    for name in names:
        html.extend(section(out, source, shorten, name, unreadable))
    html.extend(["</body>", "</html>"])
    (out / "index.html").write_text("\n".join(html) + "\n", encoding="utf-8")
    if unreadable:
        sys.exit("demo-page.py: pictures missing or neither PNG nor SVG: " + ", ".join(unreadable))


if __name__ == "__main__":
    main()
