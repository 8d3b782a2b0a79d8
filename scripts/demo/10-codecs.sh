#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The codec list, asked of moviehost (mode q) through the host-side client.
set -euo pipefail
echo "codec type names moviehost offers on this machine (moviehost-client codecs):"
"$KR_BIN_DIR/moviehost-client" codecs
