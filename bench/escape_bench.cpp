// Escape removal and the conversion to UTF-8 against a plain copy of the same capture.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "core/reading/escape_filter.h"
#include "core/ports/progress.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

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

// Reading and filtering in pieces on one thread, the text thrown away: the
// filtering work every reading of a capture does, without its threads.
void BM_FilterInPieces(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) CutEscapesInPieces({CapturePath()}, [&bytes](std::string_view block) { bytes += block.size(); });
  benchmark::DoNotOptimize(bytes);
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FilterInPieces)->Unit(benchmark::kMillisecond)->UseRealTime();

// The capture's bytes (escape sequences and all) converted in memory, as the
// exports and the UTF-8 listings convert texts.
void BM_SjisToUtf8(benchmark::State& state) {
  const std::string sjis = ReadWholeFile(CapturePath());
  Utf8Buffer utf8;
  for (auto _ : state) benchmark::DoNotOptimize(utf8.Of(sjis).size());
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SjisToUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes converted in pieces of whole lines of about 250 bytes, the
// size of the texts the exports convert one by one.
void BM_SjisToUtf8Texts(benchmark::State& state) {
  const std::string sjis = ReadWholeFile(CapturePath());
  std::vector<std::string_view> texts;
  for (size_t from = 0; from < sjis.size();) {
    size_t to = sjis.find("\r\n", std::min(sjis.size(), from + 250));
    to = to == std::string::npos ? sjis.size() : to + 2;
    texts.emplace_back(sjis.data() + from, to - from);
    from = to;
  }
  Utf8Buffer utf8;
  for (auto _ : state) {
    for (const std::string_view text : texts) benchmark::DoNotOptimize(utf8.Of(text).size());
  }
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SjisToUtf8Texts)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tobrisk::bench
