#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The XML check on a well-formed scene description, then on one whose end tags are swapped:
# the verdict names the end tag met, the one missing, and the XML line. Both exit with 0.
set -euo pipefail
good=$KR_DEMO_DIR/scene.xml
broken=$KR_DEMO_DIR/scene-broken.xml
cat >"$good" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE scene>
<scene name="comp &amp; grade">
  <node type="Switcher" selected="1"/>
  <node type="Notes"><note>Shot 12 &#8212; check the grade</note></node>
</scene>
XML
sed 's|</note></node>|</node></note>|' "$good" >"$broken"
echo "syscheck xml scene.xml:"
"$KR_BIN_DIR/syscheck" xml "$good"
echo
echo "syscheck xml scene-broken.xml (end tags of note and node swapped on line 5):"
"$KR_BIN_DIR/syscheck" xml "$broken"
