#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# cross-compile-check.sh COMPILER OUTDIR [FLAGS...] -- SOURCES...
# Compiles each source to an object file; exits 77 (skipped) when COMPILER is absent.
set -euo pipefail
compiler=$1 outdir=$2
shift 2
flags=()
while [[ $# -gt 0 && $1 != "--" ]]; do flags+=("$1"); shift; done
shift
if ! command -v "$compiler" >/dev/null; then
    echo "skipped: cross compiler $compiler is not installed"
    exit 77
fi
mkdir -p "$outdir"
for src in "$@"; do
    "$compiler" -std=c++20 -Wall -Wextra -c "${flags[@]}" "$src" -o "$outdir/$(basename "$src").o"
    echo "compiled $src"
done
