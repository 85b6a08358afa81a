#!/usr/bin/env bash
# Checks that every C++ file of src/, tests/, bench/ and fuzz/ is laid out as
# .clang-format says (clang-format 14, the Debian 12 version).
#   scripts/check-format.sh          report the files that differ, exit 1 if any
#   scripts/check-format.sh --fix    reformat them in place
set -euo pipefail
cd "$(dirname "$0")/.."
format="$(command -v clang-format-14 || command -v clang-format)"
mapfile -t files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ "${1:-}" = "--fix" ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 25 -P "$(nproc)" "$format" -i
  exit 0
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
if ! printf '%s\0' "${files[@]}" | xargs -0 -n 25 -P "$(nproc)" "$format" --dry-run --Werror 2>"$log"; then
  grep -oE '^[^:]+\.(cpp|h)' "$log" | sort -u | sed 's/^/  /'
  rm -f "$log"
  echo "check-format: the files above differ from .clang-format; scripts/check-format.sh --fix reformats them"
  exit 1
fi
echo "check-format: ${#files[@]} files laid out as .clang-format says"
