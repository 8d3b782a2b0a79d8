#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# format.sh: applies .clang-format to every tracked C++ file.
# format.sh --check: changes nothing, lists every file that is not formatted and fails (exit 1);
# outside a git checkout there is no list of tracked files, and the check is skipped (exit 77).
set -euo pipefail
cd "$(dirname "$0")/.."
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "format: not a git checkout, nothing to check"; exit 77; }
command -v clang-format >/dev/null || { echo "format: clang-format is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h' '*.inline')
if [[ "${1:-}" == "--check" ]]; then
    clang-format --dry-run --Werror "${files[@]}" || { echo "format: run make format" >&2; exit 1; }
    echo "format: ${#files[@]} files formatted as .clang-format says"
else
    clang-format -i "${files[@]}"
fi
