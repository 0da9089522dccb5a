#!/usr/bin/env bash
# Checks that every C++ source file is laid out as .clang-format says, so
# style never becomes a review topic. Exits 1 and names the files that are
# not. Reformat with: tools/check-format.sh --fix
set -uo pipefail
cd "$(dirname "$0")/.."
formatter=$(command -v clang-format-14 || command -v clang-format) || { echo "clang-format 14 is not installed"; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build')
if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
if ! "$formatter" --dry-run --Werror "${files[@]}" 2>/tmp/format-check.$$; then
  grep -E "^[^ ].*: (error|warning):" /tmp/format-check.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /'
  rm -f /tmp/format-check.$$
  exit 1
fi
rm -f /tmp/format-check.$$
echo "format: ${#files[@]} files as .clang-format says"
