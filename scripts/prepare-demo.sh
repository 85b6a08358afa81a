#!/usr/bin/env bash
# Prepares a demo work folder: the demo capture, NET.TDT and the net's board and
# member files, converted from the UTF-8 sources in demo/ to Shift-JIS.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:?usage: prepare-demo.sh WORKDIR}"
mkdir -p "$dest"
for f in "$root"/demo/*.txt; do
  name="$(basename "$f" .txt)"
  # Keep the member's own files once they exist; the capture is always refreshed.
  if [ -e "$dest/$name" ] && [ "$name" != "NORU1207.LOG" ]; then continue; fi
  iconv -f UTF-8 -t CP932 "$f" > "$dest/$name.tmp" && mv "$dest/$name.tmp" "$dest/$name"
done
