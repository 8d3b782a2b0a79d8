#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# demoPageTest.sh BUILD_DIR SOURCE_DIR: the demo's page from a small run (a movie read both
# ways, the Switcher's choices, LUTs with their curves, the XML check). Every picture it shows
# must exist and decode with FFmpeg, text from the programs must be escaped, and the page must
# be well-formed by syscheck's own XML check. Where a headless Chromium is installed, the page
# must render to a screenshot that is not blank; without one the test ends as skipped (77)
# after the other checks passed.
set -euo pipefail
build=$1
source=$2
bin=$build/bin
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

demo=$out/demo
page=$demo/index.html
if ! "$source/scripts/demo.sh" "$bin" "$demo" 20-read 60-xml 75-switcher-ui 90-lut1d >"$out/demo.log" 2>&1; then
    cat "$out/demo.log"
    fail "the demo run failed"
fi
grep -qxF "open it with: xdg-open $page" "$out/demo.log" || fail "the demo did not end with the command opening the page"

# Output holding markup must reach the page as text.
printf 'a log with <b>markup</b> & an unclosed <!-- comment\n' >"$demo/pieces/99-escaping.log"
/usr/bin/python3 "$source/scripts/demo-page.py" "$demo" "$bin" "$source"
verdict=$("$bin/syscheck" xml "$page")
grep -qx "XML file valid." <<<"$verdict" || fail "index.html is not well-formed: $verdict"
grep -qF 'a log with &lt;b&gt;markup&lt;/b&gt; &amp; an unclosed &lt;!-- comment' "$page" ||
    fail "the markup in a piece's output was not escaped"
if grep -qiE '<script|(src|href)="(https?:)?//' "$page"; then
    fail "the page holds a script or fetches from elsewhere"
fi

# Each picture exists and FFmpeg decodes it (PNG, and SVG through librsvg) without a complaint.
mapfile -t pictures < <(grep -o ' src="[^"]*"' "$page" | sed 's/^ src="//; s/"$//')
# 3 + 5 frames, 5 Switcher choices, 2 LUTs with input, output and curve: 19.
((${#pictures[@]} == 19)) || fail "the page shows ${#pictures[@]} pictures, not 19"
for picture in "${pictures[@]}"; do
    [[ -f $demo/$picture ]] || fail "$picture is shown but does not exist"
    if ! ffmpeg -nostdin -v error -i "$demo/$picture" -f null - 2>"$out/decode.txt" || [[ -s $out/decode.txt ]]; then
        fail "$picture does not decode: $(cat "$out/decode.txt")"
    fi
done
for caption in "frame 0, 00:00:59;28" "frame 2, 00:01:00;02" "frame 14, 00:01:00;14" "chosen in the menu: *G - Out | R | Q" \
    "Tab in the viewer, menu: *Q | P | R"; do
    grep -qF "<figcaption>$caption</figcaption>" "$page" || fail "no picture captioned \"$caption\""
done
grep -qxF 'moviehost-client frames read-demo.mov frames 17-13' "$page" ||
    fail "the commands of 20-read are not shown with short paths"

chromium=/usr/bin/chromium
if [[ ! -x $chromium ]]; then
    echo "skipped: no headless Chromium at $chromium, so no screenshot (every other check passed)"
    exit 77
fi
shot=$out/screenshot.png
mkdir "$out/profile"
if ! timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$out/profile" \
    --hide-scrollbars --window-size=1280,2400 --screenshot="$shot" "file://$page" >"$out/chromium.log" 2>&1 ||
    [[ ! -s $shot ]]; then
    cat "$out/chromium.log"
    fail "Chromium took no screenshot of the page"
fi
# A blank page is one colour; text alone leaves few colours. The frames and the test picture
# bring thousands.
colours=$(ffmpeg -nostdin -v error -i "$shot" -f rawvideo -pix_fmt rgb24 - |
    /usr/bin/python3 -c 'import sys; d = sys.stdin.buffer.read(); print(len({d[i:i + 3] for i in range(0, len(d), 3)}))')
((colours >= 1000)) || fail "the screenshot shows only $colours colours: the page rendered (nearly) blank"
echo "the page renders: $colours colours in the screenshot"
