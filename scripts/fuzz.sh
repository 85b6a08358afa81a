#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (ASan + UBSan) into build-fuzz/ and
# runs each for SECONDS (default 30) on a corpus seeded from the capture generator.
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTOBRISK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
build-fuzz/bin/make-fuzz-seeds build-fuzz/seeds
harnesses=("$@")
if ((${#harnesses[@]} == 0)); then
  for f in build-fuzz/bin/fuzz_*; do harnesses+=("$(basename "$f")"); done
fi
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for h in "${harnesses[@]}"; do
  corpus="build-fuzz/corpus/$h"
  mkdir -p "$corpus" "build-fuzz/seeds/$h"
  echo "== $h ($seconds s)"
  log="build-fuzz/$h.log"
  if ! (cd build-fuzz && "bin/$h" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=262144 \
        -print_final_stats=1 "corpus/$h" "seeds/$h") >"$log" 2>&1; then
    grep -E 'ERROR|SUMMARY|==[0-9]+==|^    #' "$log" | head -40
    echo "fuzz: $h failed; the crashing input is in build-fuzz/ (see $log)"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units' "$log" || true
done
