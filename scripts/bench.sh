#!/usr/bin/env bash
# Side-by-side benchmark of reading big captures, on both capture shapes (long
# messages, short messages), in one run on a warm page cache:
#   copy + read of the capture (the reference), `tobrisk-cli list` and `tree` in
#   --sjis and UTF-8 (time and peak memory), 12 logs of 8 MB against one of
#   100 MB, `export` in each format against `list` (and a copy of each export's
#   output: what writing that much costs alone), and the desktop program from
#   start to the list shown.
# Usage: scripts/bench.sh [BUILD_DIR]      (default build-rel, then build)
#   BENCH_MB=100    size of each capture
#   RUNS=5          runs per measurement (median); also starts of the desktop program
#   PAUSE_MS=0      wait this long before each run, as a person starts the program
#                   after a pause (on a virtual machine that takes back free
#                   memory, runs one after the other reuse memory the one before
#                   freed, and come out faster than a start after a pause; 3000
#                   shows the start after a pause)
#   BASE_BIN=DIR    also run DIR/tobrisk-cli (and DIR/gui-open-bench) and print it
#                   beside the build's, measured alternately in the same run
#   GUI=0           leave out the desktop program
#   EXPORT=0        leave out the exports
#   EXPORT_DIR=DIR  where the exports are written (default /dev/shm when there is
#                   one, so that the disk's write-back does not blur the times)
# Build with -DCMAKE_BUILD_TYPE=Release -DTOBRISK_BUILD_BENCH=ON; targets
# tobrisk-cli gen-capture run-measured gui-open-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-}"
if [ -z "$BUILD" ]; then
  if [ -x build-rel/bin/tobrisk-cli ]; then BUILD=build-rel; else BUILD=build; fi
fi
BIN="$(cd "$BUILD/bin" && pwd)"
MB="${BENCH_MB:-100}"
RUNS="${RUNS:-5}"
PAUSE_MS="${PAUSE_MS:-0}"
GUI="${GUI:-1}"
BASE="${BASE_BIN:-}"
for tool in tobrisk-cli gen-capture run-measured; do
  [ -x "$BIN/$tool" ] || { echo "missing $BIN/$tool (build it with TOBRISK_BUILD_BENCH=ON)" >&2; exit 2; }
done

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tobrisk-side-by-side-XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config" "$WORK/year"
export XDG_CONFIG_HOME="$WORK/config"
printf 'BENC\tBench\tme\tUP\r\n' >"$WORK/NET.TDT"
cd "$WORK"

"$BIN/gen-capture" "$WORK/BENC0101.LOG" "$MB" 1
"$BIN/gen-capture" --short "$WORK/BENC0201.LOG" "$MB" 1
year=()
for m in 01 02 03 04 05 06 07 08 09 10 11 12; do
  "$BIN/gen-capture" --short "$WORK/year/BENC${m}01.LOG" "$(awk "BEGIN{print $MB*0.08}")" "1$m"
  year+=("$WORK/year/BENC${m}01.LOG")
done
# Warms the page cache with the logs about to be measured: a machine may page out
# what was not touched for a while (this one: a minute), the captures' cached
# pages included.
warm() { cat "$@" >/dev/null; }

mb_of() { awk "BEGIN{printf \"%.1f\", $1/1024}"; }
size_kb() { du -k --apparent-size "$@" | awk '{s+=$1} END {print s}'; }

ratio() { awk "BEGIN{printf \"%.1fx\", $1/$2}"; }
row() {  # LABEL BUILD WALL_MS WALL_REF CPU_MS CPU_REF PEAK_KB CAP_KB
  local peak="-" share="-"
  if [ "$7" != - ]; then peak="$(mb_of "$7")"; share="$(awk "BEGIN{printf \"%.2fx\", $7/$8}")"; fi
  printf '| %-30s | %-6s | %7.0f | %6s | %7.0f | %6s | %7s | %6s |\n' "$1" "$2" "$3" "$(ratio "$3" "$4")" "$5" \
    "$(ratio "$5" "$6")" "$peak" "$share"
}

# measure_row LABEL REF_WALL REF_CPU CAP_KB ARGS...: the build's tobrisk-cli, after BASE_BIN's when given.
measure_row() {
  local label="$1" ref="$2" ref_cpu="$3" cap_kb="$4"
  shift 4
  local ms peak cpu
  if [ -n "$BASE" ]; then
    read -r ms _ peak cpu _ <<<"$("$BIN/run-measured" -n "$RUNS" --pause "$PAUSE_MS" -- "$BASE/tobrisk-cli" "$@")"
    row "$label" before "$ms" "$ref" "$cpu" "$ref_cpu" "$peak" "$cap_kb"
  fi
  read -r ms _ peak cpu _ <<<"$("$BIN/run-measured" -n "$RUNS" --pause "$PAUSE_MS" -- "$BIN/tobrisk-cli" "$@")"
  row "$label" "$([ -n "$BASE" ] && echo after || echo now)" "$ms" "$ref" "$cpu" "$ref_cpu" "$peak" "$cap_kb"
}

echo
echo "Side by side, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $RUNS runs each (medians), output to"
echo "/dev/null, build $BUILD. Ratios are to copy + read of the same capture; cpu = user + system time."
printf '| %-30s | %-6s | %7s | %6s | %7s | %6s | %7s | %6s |\n' "capture / step" build "wall ms" ratio "cpu ms" ratio \
  "peak MB" "/size"
echo "|--------------------------------|--------|---------|--------|---------|--------|---------|--------|"
for shape in long short; do
  log="$WORK/BENC0101.LOG"
  [ "$shape" = short ] && log="$WORK/BENC0201.LOG"
  kb="$(size_kb "$log")"
  warm "$log"
  read -r ref _ _ ref_cpu _ <<<"$("$BIN/run-measured" -n "$RUNS" --pause "$PAUSE_MS" --copy-read "$log")"
  row "$shape $(mb_of "$kb") MB: copy + read" - "$ref" "$ref" "$ref_cpu" "$ref_cpu" - -
  for args in "list --sjis" "list" "tree --sjis" "tree"; do
    # shellcheck disable=SC2086
    measure_row "$shape: $args" "$ref" "$ref_cpu" "$kb" $args "$log"
  done
  if [ "$shape" = short ]; then short_ref="$ref"; short_cpu="$ref_cpu"; short_kb="$kb"; fi
done
warm "${year[@]}"
measure_row "12 x 8 MB short: list --sjis" "$short_ref" "$short_cpu" "$short_kb" list --sjis "${year[@]}"
measure_row "12 x 8 MB short: tree" "$short_ref" "$short_cpu" "$short_kb" tree "${year[@]}"
echo "(the 12 logs hold $(mb_of "$(size_kb "${year[@]}")") MB; their ratios are to the short capture's copy + read and size)"

if [ "${EXPORT:-1}" != 0 ]; then
  out_dir="${EXPORT_DIR:-}"
  if [ -z "$out_dir" ]; then
    if [ -d /dev/shm ] && [ -w /dev/shm ]; then out_dir=/dev/shm; else out_dir="$WORK"; fi
  fi
  out="$(mktemp -d "$out_dir/tobrisk-export-XXXXXX")"
  echo
  echo "Exports into $out_dir, against \`list\` (UTF-8) in the same run; x list = wall time / that of list."
  printf '| %-30s | %-6s | %7s | %6s | %7s | %7s | %6s | %9s |\n' "capture / step" build "wall ms" "x list" "cpu ms" \
    "peak MB" "/size" "output MB"
  echo "|--------------------------------|--------|---------|--------|---------|---------|--------|-----------|"
  build_name() { if [ "$1" = "$BASE" ]; then echo before; elif [ -n "$BASE" ]; then echo after; else echo now; fi; }
  export_row() {  # LABEL BUILD LIST_MS CAP_KB FORMAT LOG: one export by the given build's tobrisk-cli
    local ms peak cpu size
    read -r ms _ peak cpu _ <<<"$("$BIN/run-measured" -n "$RUNS" --pause "$PAUSE_MS" --remove "$out/x.$5" -- \
      "$2/tobrisk-cli" export --format "$5" --out "$out/x.$5" "$6")"
    size="$(du -sk --apparent-size "$out/x.$5" | cut -f1)"
    printf '| %-30s | %-6s | %7.0f | %6s | %7.0f | %7s | %6s | %9s |\n' "$1" "$(build_name "$2")" "$ms" \
      "$(ratio "$ms" "$3")" "$cpu" "$(mb_of "$peak")" "$(awk "BEGIN{printf \"%.2fx\", $peak/$4}")" "$(mb_of "$size")"
    if [ "$2" = "$BIN" ]; then
      # What writing this output alone costs here: a copy of it (the system copies
      # inside the kernel, page cache to page cache), each run into a fresh place.
      read -r ms _ _ cpu _ <<<"$("$BIN/run-measured" -n "$RUNS" --pause "$PAUSE_MS" --remove "$out/copy" -- \
        cp -r "$out/x.$5" "$out/copy")"
      printf '| %-30s | %-6s | %7.0f | %6s | %7.0f | %7s | %6s | %9s |\n' "${1%%:*}: copy of the $5 output" - "$ms" \
        "$(ratio "$ms" "$3")" "$cpu" - - "$(mb_of "$size")"
      rm -rf "${out:?}/copy"
    fi
    rm -rf "${out:?}/x.$5"
  }
  for shape in long short; do
    log="$WORK/BENC0101.LOG"
    [ "$shape" = short ] && log="$WORK/BENC0201.LOG"
    kb="$(size_kb "$log")"
    builds=("$BIN")
    [ -n "$BASE" ] && builds=("$BASE" "$BIN")
    for b in "${builds[@]}"; do
      warm "$log"
      read -r list_ms _ peak cpu _ <<<"$("$BIN/run-measured" -n "$RUNS" --pause "$PAUSE_MS" -- "$b/tobrisk-cli" list "$log")"
      printf '| %-30s | %-6s | %7.0f | %6s | %7.0f | %7s | %6s | %9s |\n' "$shape: list" "$(build_name "$b")" "$list_ms" \
        1.0x "$cpu" "$(mb_of "$peak")" "$(awk "BEGIN{printf \"%.2fx\", $peak/$kb}")" -
      for format in mbox html text; do export_row "$shape: export --format $format" "$b" "$list_ms" "$kb" "$format" "$log"; done
    done
  done
  rm -rf "$out"
fi

if [ "$GUI" != 0 ] && [ -x "$BIN/gui-open-bench" ]; then
  # RUNS starts of the program per build (alternating with BASE_BIN's), each after
  # the pause: the medians of start to painted page and of its peak, then the last
  # run's full report.
  gui_run() {  # BIN_DIR LOG...: one start; prints "MS PEAK_MB", keeps the report in $WORK/gui.txt
    sleep "$(awk "BEGIN{print $PAUSE_MS/1000}")"
    QT_QPA_PLATFORM=offscreen "$1/gui-open-bench" "${@:2}" 2>/dev/null >"$WORK/gui.txt"
    awk '/^start to list/ {for (i = 1; i <= NF; i++) if ($i == "ms") ms = $(i - 1)}
         /^peak memory from start/ {peak = $7} END {print ms, peak}' "$WORK/gui.txt"
  }
  median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
  gui_rows() {  # LABEL LOG...
    local label="$1" r ms peak
    local before_ms=() before_peak=() after_ms=() after_peak=()
    shift
    warm "$@"
    for ((r = 0; r < RUNS; r++)); do
      if [ -n "$BASE" ] && [ -x "$BASE/gui-open-bench" ]; then
        read -r ms peak <<<"$(gui_run "$BASE" "$@")"
        before_ms+=("$ms"); before_peak+=("$peak")
      fi
      read -r ms peak <<<"$(gui_run "$BIN" "$@")"
      after_ms+=("$ms"); after_peak+=("$peak")
    done
    echo
    echo "desktop program, $label ($RUNS starts per build, medians):"
    if [ ${#before_ms[@]} -gt 0 ]; then
      echo "  before: start to painted page $(median "${before_ms[@]}") ms, peak $(median "${before_peak[@]}") MB"
    fi
    echo "  $([ -n "$BASE" ] && echo after || echo now): start to painted page $(median "${after_ms[@]}") ms" \
      "(runs: ${after_ms[*]}), peak $(median "${after_peak[@]}") MB"
    echo "  the last start in full:"
    sed 's/^/    /' "$WORK/gui.txt"
  }
  gui_rows "long messages" "$WORK/BENC0101.LOG"
  gui_rows "short messages" "$WORK/BENC0201.LOG"
  gui_rows "12 logs of the short shape" "${year[@]}"
fi
