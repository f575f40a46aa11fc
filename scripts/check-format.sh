#!/usr/bin/env bash
# Checks, without changing anything, that every C and C++ file of the project
# is laid out as .clang-format says. To fix a file: clang-format-16 -i FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.h' '*.cpp' '*.hpp')
clang-format-16 --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files as .clang-format lays them out"
