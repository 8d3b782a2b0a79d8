#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# krhost, the headless tool host: a script builds a small document from the framework's own
# image sources, undoes and redoes, saves and reopens it and writes a node's pixels as PNG.
# Then a script with a mistake shows how errors name the line.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$KR_DEMO_DIR"
echo "krhost examples/krhost-basics.kr:"
"$KR_BIN_DIR/krhost" "$here/examples/krhost-basics.kr"
picture "pixels out" basics-red.png "node Red, written by the png command"
echo
echo "a script connecting to a node that does not exist:"
printf 'create Constant A\nconnect A Output Nobody Input\n' >mistake.kr
"$KR_BIN_DIR/krhost" mistake.kr || echo "(exit code $?)"
