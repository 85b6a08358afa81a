#include "core/reading/escape_filter.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <memory>

#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

constexpr char kBackspace = 0x08;
constexpr char kEsc = 0x1B;

// True when the line holds an ESC or a backspace: one pass over the line, 16
// bytes at a time where the processor has the instructions (lines are short,
// and two library searches cost more than the line).
bool HasEscOrBackspace(std::string_view line) {
  const char* p = line.data();
  const char* const end = p + line.size();
#if defined(__SSE2__)
  const __m128i esc = _mm_set1_epi8(kEsc);
  const __m128i backspace = _mm_set1_epi8(kBackspace);
  auto any = [&](const char* at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, esc), _mm_cmpeq_epi8(bytes, backspace))) != 0;
  };
  if (end - p >= 16) {
    for (; end - p >= 16; p += 16) {
      if (any(p)) return true;
    }
    return p < end && any(end - 16);  // the rest, within the last 16 bytes
  }
#endif
  for (; p < end; ++p) {
    if (*p == kEsc || *p == kBackspace) return true;
  }
  return false;
}

// The line as it goes to the output: itself when it holds no control byte (most
// lines), otherwise filtered into `scratch`.
std::string_view Filtered(std::string_view line, std::string& scratch) {
  if (!HasEscOrBackspace(line)) return line;
  scratch.clear();
  FilterEscapes(line, scratch);
  return scratch;
}

}  // namespace

void FilterEscapes(std::string_view line, std::string& out) {
  // Where the filter stands inside a sequence; Text outside one.
  enum class State { Text, Escape, Intermediate, Control, OsCommand, OsCommandEscape };
  State state = State::Text;
  const char* p = line.data();
  const char* const end = p + line.size();
  while (p < end) {
    if (state == State::Text) {
      // Copy the plain run up to the next ESC or backspace in one go.
      const char* stop = p;
      while (stop < end && *stop != kEsc && *stop != kBackspace) ++stop;
      out.append(p, static_cast<size_t>(stop - p));
      p = stop;
      if (p == end) break;
    }
    const auto b = static_cast<unsigned char>(*p++);
    if (b == kBackspace) continue;  // dropped wherever it stands, the state stays
    switch (state) {
      case State::Text:  // ESC
        state = State::Escape;
        continue;
      case State::Escape:
        if (b == '[') {
          state = State::Control;
          continue;
        }
        if (b == ']') {
          state = State::OsCommand;
          continue;
        }
        if (b >= 0x20 && b <= 0x2F) {
          state = State::Intermediate;
          continue;
        }
        if (b >= 0x30 && b <= 0x7E) {
          state = State::Text;
          continue;
        }
        break;
      case State::Intermediate:
        if (b >= 0x20 && b <= 0x2F) continue;
        if (b >= 0x30 && b <= 0x7E) {
          state = State::Text;
          continue;
        }
        break;
      case State::Control:
        if (b >= 0x20 && b <= 0x3F) continue;
        if (b >= 0x40 && b <= 0x7E) {
          state = State::Text;
          continue;
        }
        break;
      case State::OsCommand:  // a window title: everything through BEL or ESC "\"
        if (b == 0x07) state = State::Text;
        if (b == static_cast<unsigned char>(kEsc)) state = State::OsCommandEscape;
        continue;
      case State::OsCommandEscape:
        if (b == '\\') {
          state = State::Text;
        } else if (b != static_cast<unsigned char>(kEsc)) {
          state = b == 0x07 ? State::Text : State::OsCommand;
        }
        continue;
    }
    // Any other byte ends the sequence where it stands and is text again: an
    // ESC starts the next sequence, anything else is kept.
    if (b == static_cast<unsigned char>(kEsc)) {
      state = State::Escape;
    } else {
      state = State::Text;
      out.push_back(static_cast<char>(b));
    }
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

  // Reading and escape removal run ahead on the reader's thread; this one
  // reports progress and writes.
  std::vector<uint64_t> starts;
  uint64_t before = 0;
  for (const uint64_t length : lengths) {
    starts.push_back(before);
    before += length;
  }
  PercentTracker percent(total);
  EscapeFilteringReader reader(inputs, nullptr, std::move(starts));
  std::string_view line;
  while (reader.Next(line)) {
    progress.Step(percent.Update(reader.InputPosition()));
    out->Write(line);
    out->Write("\r\n");
  }
  out->Close();
}

namespace {

constexpr size_t kBlockBytes = size_t{256} * 1024;  // a block is handed over at this size
constexpr size_t kBlocksAhead = 4;                  // the reading thread stays at most this far ahead

}  // namespace

EscapeFreeSink CollectInto(std::string* text) {
  if (text == nullptr) return {};
  text->clear();
  return [text](std::string_view block) { text->append(block); };
}

EscapeFilteringReader::EscapeFilteringReader(std::vector<std::string> inputs, EscapeFreeSink sink)
    : EscapeFilteringReader(std::move(inputs), std::move(sink), {}) {}

EscapeFilteringReader::EscapeFilteringReader(std::vector<std::string> inputs, EscapeFreeSink sink,
                                             std::vector<uint64_t> starts)
    : inputs_(std::move(inputs)), sink_(std::move(sink)), starts_(std::move(starts)) {
  producer_ = std::thread([this] { Produce(); });
}

EscapeFilteringReader::~EscapeFilteringReader() {
  {
    std::lock_guard lock(mutex_);
    cancel_ = true;
  }
  changed_.notify_all();
  producer_.join();
}

void EscapeFilteringReader::Produce() {
  std::unique_ptr<Block> block;
  std::exception_ptr error;
  try {
    std::string filtered;
    // Hands the block over; false when the reader is being destroyed.
    auto hand_over = [&]() {
      if (sink_) sink_(block->text);
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return cancel_ || full_.size() < kBlocksAhead; });
      if (cancel_) return false;
      full_.push_back(std::move(block));
      if (!free_.empty()) {
        block = std::move(free_.back());
        free_.pop_back();
      }
      lock.unlock();
      changed_.notify_all();
      return true;
    };
    for (size_t i = 0; i < inputs_.size(); ++i) {
      LineReader reader(inputs_[i], LineEnds::CaptureOrLf);
      const bool with_positions = i < starts_.size();
      std::string_view raw;
      while (reader.Next(raw)) {
        if (!block) {
          block = std::make_unique<Block>();
          block->text.reserve(kBlockBytes + 4096);
        }
        const std::string_view line = Filtered(raw, filtered);
        block->text.append(line).append("\r\n", 2);
        block->lengths.push_back(line.size());
        if (with_positions) block->input_positions.push_back(starts_[i] + reader.Position());
        if (block->text.size() >= kBlockBytes && !hand_over()) return;
      }
    }
    if (block && sink_) sink_(block->text);
  } catch (...) {
    error = std::current_exception();
  }
  // The last lines, and then the end or the failure that ended the reading.
  {
    std::lock_guard lock(mutex_);
    if (block && !block->lengths.empty()) full_.push_back(std::move(block));
    error_ = error;
    produced_all_ = true;
  }
  changed_.notify_all();
}

bool EscapeFilteringReader::TakeBlock() {
  std::unique_lock lock(mutex_);
  if (current_) {
    current_->text.clear();
    current_->lengths.clear();
    current_->input_positions.clear();
    free_.push_back(std::move(current_));
  }
  changed_.wait(lock, [this] { return !full_.empty() || produced_all_; });
  if (full_.empty()) {
    if (error_) std::rethrow_exception(error_);
    return false;
  }
  current_ = std::move(full_.front());
  full_.pop_front();
  lock.unlock();
  changed_.notify_all();
  line_ = 0;
  offset_ = 0;
  return true;
}

bool EscapeFilteringReader::Next(std::string_view& line) {
  while (!current_ || line_ == current_->lengths.size()) {
    if (!TakeBlock()) return false;
  }
  if (line_ < current_->input_positions.size()) input_position_ = current_->input_positions[line_];
  const size_t length = current_->lengths[line_++];
  line = std::string_view(current_->text.data() + offset_, length);
  offset_ += length + 2;
  position_ += length + 2;
  return true;
}

void EscapeFilteringReader::Finish() {
  std::string_view line;
  while (Next(line)) {
  }
}

}  // namespace tobrisk
