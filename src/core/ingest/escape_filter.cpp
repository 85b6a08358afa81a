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

// The line as it goes to the output: itself when it holds no control byte (most
// lines), otherwise filtered into `scratch`.
std::string_view Filtered(std::string_view line, std::string& scratch) {
  if (std::memchr(line.data(), kEsc, line.size()) == nullptr &&
      std::memchr(line.data(), kBackspace, line.size()) == nullptr) {
    return line;
  }
  scratch.clear();
  FilterEscapes(line, scratch);
  return scratch;
}

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
      out->Write(Filtered(line, filtered));
      out->Write("\r\n");
    }
    before += lengths[i];
  }
  out->Close();
}

EscapeFilteringReader::EscapeFilteringReader(std::vector<std::string> inputs, const std::string& output)
    : inputs_(std::move(inputs)) {
  if (!inputs_.empty()) reader_ = std::make_unique<LineReader>(inputs_[0]);
  out_ = std::make_unique<OutputFile>(output);
}

EscapeFilteringReader::~EscapeFilteringReader() = default;

bool EscapeFilteringReader::Next(std::string_view& line) {
  while (reader_) {
    std::string_view raw;
    if (reader_->Next(raw)) {
      line = Filtered(raw, filtered_);
      out_->Write(line);
      out_->Write("\r\n");
      position_ += line.size() + 2;
      return true;
    }
    reader_.reset();
    if (++current_ < inputs_.size()) reader_ = std::make_unique<LineReader>(inputs_[current_]);
  }
  return false;
}

void EscapeFilteringReader::Finish() {
  std::string_view line;
  while (Next(line)) {
  }
  out_->Close();
}

}  // namespace tobrisk
