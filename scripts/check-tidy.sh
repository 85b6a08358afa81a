#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) over the program's sources in src/,
# using the compile commands of a configured build folder (default build/).
#   scripts/check-tidy.sh [BUILD_DIR] [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-tidy: $build/compile_commands.json is missing; configure the build first (scripts/setup.sh)" >&2
  exit 2
fi
runner="$(command -v run-clang-tidy-14 || command -v run-clang-tidy)"
tidy="$(command -v clang-tidy-14 || command -v clang-tidy)"
files=("$@")
if ((${#files[@]} == 0)); then files=("$PWD/src/"); fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
# The generated moc and resource files live in the build folder: only src/ is checked.
if ! nice "$runner" -clang-tidy-binary "$tidy" -p "$build" -j "$(nproc)" -quiet "${files[@]}" >"$log" 2>&1; then
  grep -E '(warning|error): ' "$log" | sort -u
  echo "check-tidy: clang-tidy found the problems above (.clang-tidy lists the checks)"
  exit 1
fi
echo "check-tidy: src/ is clean"
