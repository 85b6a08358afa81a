// Escape removal against a plain copy of the same capture.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "core/reading/escape_filter.h"
#include "core/ports/progress.h"

namespace tobrisk::bench {
namespace {

void BM_PlainCopy(benchmark::State& state) {
  for (auto _ : state) PlainCopy(CapturePath(), BenchDir() + "copy.LOG");
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CutEscapes(benchmark::State& state) {
  NullProgress progress;
  for (auto _ : state) CutEscapes({CapturePath()}, BenchDir() + "NOESC.LOG", progress);
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CutEscapes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tobrisk::bench
