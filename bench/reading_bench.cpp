// The reading steps of opening a log on the big generated capture: parse, sort,
// tree, and the whole `list` pipeline against copying the capture once and
// reading the copy once.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "core/reading/escape_filter.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/reading/read_marks.h"
#include "core/ports/progress.h"

namespace tobrisk::bench {
namespace {

const std::string& Noesc() {
  static const std::string path = [] {
    NullProgress progress;
    const std::string p = BenchDir() + "reading-NOESC.LOG";  // apart from the escape benchmark's file
    CutEscapes({CapturePath()}, p, progress);
    return p;
  }();
  return path;
}

// The parsed (unsorted) and the sorted list, made once.
struct Lists {
  MessageList parsed;
  MessageList sorted;
  Lists() {
    NullProgress progress;
    ParseLog(Noesc(), parsed, progress);
    ParseLog(Noesc(), sorted, progress);
    SortMessages(sorted, progress);
  }
};
Lists& GetLists() {
  static Lists lists;
  return lists;
}

void ReadWhole(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::vector<char> buf(1 << 20);
  size_t sum = 0;
  while (const size_t n = std::fread(buf.data(), 1, buf.size(), f)) sum += n;
  std::fclose(f);
  benchmark::DoNotOptimize(sum);
}

void Throughput(benchmark::State& state) {
  state.counters["MB/s"] = benchmark::Counter(CaptureMegabytes(), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CopyAndReadCopy(benchmark::State& state) {
  for (auto _ : state) {
    // A new file each time: overwriting one makes the file system flush it first.
    std::remove((BenchDir() + "copy.LOG").c_str());
    PlainCopy(CapturePath(), BenchDir() + "copy.LOG");
    ReadWhole(BenchDir() + "copy.LOG");
  }
  Throughput(state);
}
BENCHMARK(BM_CopyAndReadCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseLog(benchmark::State& state) {
  NullProgress progress;
  Noesc();
  size_t entries = 0;
  for (auto _ : state) {
    MessageList list;
    ParseLog(Noesc(), list, progress);
    entries = list.Size();
  }
  state.counters["entries"] = static_cast<double>(entries);
  Throughput(state);
}
BENCHMARK(BM_ParseLog)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SortMessages(benchmark::State& state) {
  NullProgress progress;
  const MessageList& parsed = GetLists().parsed;
  for (auto _ : state) {
    state.PauseTiming();
    MessageList list;  // entries point into the parsed list's texts, which outlive it
    list.Entries() = parsed.Entries();
    state.ResumeTiming();
    SortMessages(list, progress);
  }
  state.counters["entries"] = static_cast<double>(parsed.Size());
}
BENCHMARK(BM_SortMessages)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildMessageTree(benchmark::State& state) {
  const MessageList& sorted = GetLists().sorted;
  size_t nodes = 0;
  for (auto _ : state) nodes = BuildMessageTree(sorted).Size();
  state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_BuildMessageTree)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every node's text in display order, as `tree` prints them (one thread).
void BM_TreeTexts(benchmark::State& state) {
  const MessageList& sorted = GetLists().sorted;
  const MessageTree tree = BuildMessageTree(sorted);
  std::string out;
  for (auto _ : state) {
    for (size_t node = 0; node < tree.Size(); ++node) {
      if ((node & 1023) == 0) out.clear();
      tree.AppendText(static_cast<TreeNodeId>(node), out);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["nodes"] = static_cast<double>(tree.Size());
}
BENCHMARK(BM_TreeTexts)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every message's text read again in list order, as the text view shows it (and
// as an export reads them, without its reading ahead).
void BM_ReadTexts(benchmark::State& state) {
  const MessageList& sorted = GetLists().sorted;
  size_t bytes = 0;
  for (auto _ : state) {
    MessageTextReader reader(Noesc());
    bytes = 0;
    for (size_t i = 0; i < sorted.Size(); ++i) bytes += reader.Read(sorted[i].text_offset).bytes.size();
  }
  state.counters["text_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ReadTexts)->Unit(benchmark::kMillisecond)->UseRealTime();

// What `tobrisk-cli list --sjis` does after start-up: escapes removed and parsed
// in one pass (no file written), marks applied, sort, every entry written out.
void BM_ListPipeline(benchmark::State& state) {
  NullProgress progress;
  const std::vector<ReadMarkRecord> store = {{"BBS", "1", "5", "x"}, {"MAIL", "-100", "-2", "y"}};
  for (auto _ : state) {
    MessageList list;
    ParseLogWhileCuttingEscapes({CapturePath()}, nullptr, list);
    ApplyReadMarks(list, store);
    SortMessages(list, progress);
    std::FILE* out = std::fopen((BenchDir() + "list.out").c_str(), "wb");
    std::string buffer;
    for (size_t i = 0; i < list.Size(); ++i) {
      AppendEntryFields(buffer, list[i], SeqNoAt(i), '\t');
      buffer.push_back('\n');
      if (buffer.size() >= (1u << 20)) {
        std::fwrite(buffer.data(), 1, buffer.size(), out);
        buffer.clear();
      }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fclose(out);
  }
  Throughput(state);
}
BENCHMARK(BM_ListPipeline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tobrisk::bench
