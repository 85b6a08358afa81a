// Exporting the big generated capture in each format, next to the `list`
// pipeline of reading_bench.cpp: the same reading steps (the escape-free text
// kept in a temporary file, as tobrisk-cli does), then the reply tree, every
// text read again, converted and written.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_support.h"
#include "core/export/message_export.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/reading/read_marks.h"
#include "core/ports/progress.h"
#include "core/text/files.h"

namespace tobrisk::bench {
namespace {

void Export(benchmark::State& state, ExportFormat format) {
  NullProgress progress;
  const std::vector<ReadMarkRecord> store = {{"BBS", "1", "5", "x"}, {"MAIL", "-100", "-2", "y"}};
  const std::string out = BenchDir() + "export.out";
  uint64_t written = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(out);
    MessageList list;
    ScratchFile noesc;  // as tobrisk-cli keeps the escape-free text
    ParseLogWhileCuttingEscapes(
        {CapturePath()}, [&](std::string_view b) { noesc.Append(b); }, list);
    ApplyReadMarks(list, store);
    SortMessages(list, progress);
    const MessageTree tree = BuildMessageTree(list);
    MessageTextReader reader(noesc);
    ExportSource source;
    source.messages = &list;
    source.tree = &tree;
    source.texts = &reader;
    source.log_header = "ABCD";
    source.years.capture = {2026, 12, 31};
    ExportOptions options;
    options.format = format;
    options.out = out;
    ExportMessages(source, options, progress);
  }
  for (const auto& e : std::filesystem::recursive_directory_iterator(BenchDir())) {
    if (e.is_regular_file() && e.path().string().rfind(out, 0) == 0) written += e.file_size();
  }
  if (std::filesystem::is_regular_file(out)) written = std::filesystem::file_size(out);
  state.counters["out_MB"] = static_cast<double>(written) / (1024.0 * 1024.0);
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ExportMbox(benchmark::State& state) { Export(state, ExportFormat::Mbox); }
void BM_ExportHtml(benchmark::State& state) { Export(state, ExportFormat::Html); }
void BM_ExportText(benchmark::State& state) { Export(state, ExportFormat::Text); }
BENCHMARK(BM_ExportMbox)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportHtml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tobrisk::bench
