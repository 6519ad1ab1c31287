#!/usr/bin/env bash
# Fails, listing the files, when a C++ file of the project differs from the
# house style in .clang-format. `clang-format -i FILE...` mends them.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}" 2>/dev/null; then
  echo "these files differ from .clang-format (clang-format -i mends them):"
  for f in "${sources[@]}"; do
    clang-format --dry-run --Werror "$f" 2>/dev/null || echo "  $f"
  done
  exit 1
fi
echo "format: ${#sources[@]} C++ files follow .clang-format"
