#!/usr/bin/env bash
# Formats every C++ source of the tree with clang-format and .clang-format.
#   scripts/format.sh          rewrite the files in place
#   scripts/format.sh --check  change nothing; fail when a file is not formatted
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
