#include "ingest/escape_filter.h"

#include <cstring>
#include <memory>

#include "ports/progress.h"
#include "text/bytes.h"
#include "text/files.h"
#include "text/line_reader.h"
#include "text/sjis.h"

namespace tobrisk {
namespace {

constexpr char kBackspace = 0x08;
constexpr char kEsc = 0x1B;

}  // namespace

void FilterEscapes(std::string_view line, std::string& out) {
  const char* p = line.data();
  const char* const end = p + line.size();
  while (p < end) {
    // Copy the plain run up to the next ESC or backspace in one go.
    const char* stop = p;
    while (stop < end && *stop != kEsc && *stop != kBackspace) ++stop;
    out.append(p, static_cast<size_t>(stop - p));
    p = stop;
    if (p == end) break;
    if (*p == kBackspace) {
      ++p;
      continue;
    }
    // Inside a sequence: drop everything through the next "m"; backspaces and
    // further ESC bytes inside are dropped as well.
    ++p;
    while (p < end && *p != 'm') ++p;
    if (p < end) ++p;
  }
}

void CutEscapes(const std::vector<std::string>& inputs, const std::string& output, Progress& progress) {
  static const std::string label = Sjis("エスケープシーケンスカット中...");
  progress.SetLabel(label);

  std::unique_ptr<OutputFile> out;
  if (inputs.size() != 1) out = std::make_unique<OutputFile>(output);

  std::vector<uint64_t> lengths;
  lengths.reserve(inputs.size());
  uint64_t total = 0;
  for (const std::string& input : inputs) {
    lengths.push_back(MeasureCapture(input));
    total += lengths.back();
  }
  if (!out) out = std::make_unique<OutputFile>(output);

  PercentTracker percent(total);
  std::string filtered;
  uint64_t before = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    LineReader reader(inputs[i]);
    std::string_view line;
    while (reader.Next(line)) {
      progress.Step(percent.Update(before + reader.Position()));
      // Most lines hold no control byte at all: copy those as they are.
      if (std::memchr(line.data(), kEsc, line.size()) == nullptr &&
          std::memchr(line.data(), kBackspace, line.size()) == nullptr) {
        out->Write(line);
      } else {
        filtered.clear();
        FilterEscapes(line, filtered);
        out->Write(filtered);
      }
      out->Write("\r\n");
    }
    before += lengths[i];
  }
  out->Close();
}

}  // namespace tobrisk
