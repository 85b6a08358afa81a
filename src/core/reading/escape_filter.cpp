#include "core/reading/escape_filter.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

constexpr char kBackspace = 0x08;
constexpr char kEsc = 0x1B;

// The first ESC or backspace in [p, end); end when there is none. 16 bytes at a
// time where the processor has the instructions (lines are short, and two
// library searches cost more than the line).
const char* FindEscOrBackspace(const char* p, const char* const end) {
#if defined(__SSE2__)
  const __m128i esc = _mm_set1_epi8(kEsc);
  const __m128i backspace = _mm_set1_epi8(kBackspace);
  auto hits = [&](const char* at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, esc), _mm_cmpeq_epi8(bytes, backspace))));
  };
  if (end - p >= 16) {
    for (; end - p >= 16; p += 16) {
      if (const unsigned h = hits(p); h != 0) return p + __builtin_ctz(h);
    }
    if (p == end) return end;
    // The rest, within the last 16 bytes: those before p hold none.
    const unsigned h = hits(end - 16);
    return h != 0 ? end - 16 + __builtin_ctz(h) : end;
  }
#endif
  for (; p < end; ++p) {
    if (*p == kEsc || *p == kBackspace) return p;
  }
  return end;
}

constexpr char kCr = '\r';
constexpr char kLf = '\n';

// The start of the first line at or after `from` (a line start) in text whose
// every line ends with CR LF and holds no CR, that starts with a, b or c; the
// text's size when there is none. A line may hold a lone LF: only a CR marks an
// end, so the start is looked for two bytes after one.
size_t LineStartingWith(std::string_view text, size_t from, char a, char b, char c) {
  auto starts_it = [&](size_t i) { return text[i] == a || text[i] == b || text[i] == c; };
  if (from >= text.size() || starts_it(from)) return from;
  const char* const p = text.data();
  const size_t n = text.size();
  size_t i = from;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8(kCr);
  const __m128i first_a = _mm_set1_epi8(a);
  const __m128i first_b = _mm_set1_epi8(b);
  const __m128i first_c = _mm_set1_epi8(c);
  for (; i + 18 <= n; i += 16) {
    const __m128i ends = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), cr);
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 2));
    const __m128i wanted = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(next, first_a), _mm_cmpeq_epi8(next, first_b)),
                                        _mm_cmpeq_epi8(next, first_c));
    const int hit = _mm_movemask_epi8(_mm_and_si128(ends, wanted));
    if (hit != 0) return i + 2 + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hit)));
  }
#endif
  for (; i + 2 < n; ++i) {
    if (p[i] == kCr && starts_it(i + 2)) return i + 2;
  }
  return n;
}

// The first byte in [from, n) of the capture bytes at `p` that keeps its line
// from being taken over as it stands: ESC, backspace, or a CR without LF after
// it (a CR at n - 1 counts: its line's end is not CR LF as far as these bytes
// go); n when there is none.
size_t FindLineBreaker(const char* p, size_t from, size_t n) {
  size_t i = from;
#if defined(__SSE2__)
  const __m128i esc = _mm_set1_epi8(kEsc);
  const __m128i backspace = _mm_set1_epi8(kBackspace);
  const __m128i cr = _mm_set1_epi8(kCr);
  const __m128i lf = _mm_set1_epi8(kLf);
  for (; i + 17 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
    const __m128i control = _mm_or_si128(_mm_cmpeq_epi8(bytes, esc), _mm_cmpeq_epi8(bytes, backspace));
    const __m128i lone_cr = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(bytes, cr));
    const int hit = _mm_movemask_epi8(_mm_or_si128(control, lone_cr));
    if (hit != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hit)));
  }
#endif
  for (; i < n; ++i) {
    const char c = p[i];
    if (c == kEsc || c == kBackspace || (c == kCr && (i + 1 == n || p[i + 1] != kLf))) return i;
  }
  return n;
}

// The escape-free text of the lines in the capture bytes [p, p + n), whose line
// ends are CRs: every line ends with a CR (and its LF, if one follows) except
// perhaps the last, which the end of the input or a Ctrl-Z ended. Runs of lines
// ended by CR LF without ESC or backspace are their own escape-free text and go
// out whole (`text`), the other lines one by one (`line`, without its end, as
// the plain bytes before its first ESC or backspace and the rest, still to be
// filtered). Both return false to stop.
template <typename Text, typename Line>
bool ConvertCaptureLines(const char* p, size_t n, const Text& text, const Line& line) {
  size_t done = 0;  // the first line not out yet
  while (done < n) {
    const size_t breaker = FindLineBreaker(p, done, n);
    // The lines before the breaker's line (or before an unended last line) go out as they stand.
    // The last CR before the breaker is followed by LF, being before it.
    const void* const last_cr = memrchr(p + done, kCr, breaker - done);
    const size_t start = last_cr == nullptr ? done : static_cast<size_t>(static_cast<const char*>(last_cr) - p) + 2;
    if (start > done && !text(std::string_view(p + done, start - done))) return false;
    if (breaker == n && start == n) return true;
    // One line on its own: from `start` to its CR, or to the end of the bytes.
    const size_t end = static_cast<size_t>(FindByte(p + breaker, p + n, kCr) - p);
    if (!line(std::string_view(p + start, breaker - start), std::string_view(p + breaker, end - breaker))) {
      return false;
    }
    done = end == n ? n : end + 1;
    if (done < n && p[done] == kLf) ++done;
  }
  return true;
}

// How the bulk reading of one input ended.
enum class Bulk { Read, NotCarriageReturnEnded, Stopped };

// Reads one capture in chunks and hands its escape-free text to `text` and
// `line` (see ConvertCaptureLines). Only for captures whose line ends are CRs:
// when the first chunk holds no CR before a Ctrl-Z, nothing is handed out and
// NotCarriageReturnEnded tells the caller to read it line by line instead (the
// line reader decides between CR and LF line ends). A Ctrl-Z ends the capture.
template <typename Text, typename Line>
Bulk ReadCaptureInBulk(const std::string& path, const Text& text, const Line& line) {
  constexpr size_t kChunk = size_t{64} * 1024;  // grows when one line needs more
  const FileHandle file = OpenFile(path, "rb");
  std::vector<char> raw(kChunk);
  size_t kept = 0;  // an unended line carried to the front
  bool first = true;
  for (;;) {
    if (kept == raw.size()) raw.resize(raw.size() * 2);
    const size_t got = std::fread(raw.data() + kept, 1, raw.size() - kept, file.get());
    if (got == 0 && std::ferror(file.get()) != 0) throw IoError::FromErrno("read", path);
    size_t n = kept + got;
    bool last = got == 0;
    const void* ctrl_z = got > 0 ? std::memchr(raw.data() + kept, 0x1A, got) : nullptr;
    if (ctrl_z != nullptr) {
      n = static_cast<size_t>(static_cast<const char*>(ctrl_z) - raw.data());
      last = true;
    }
    if (first) {
      if (n == 0 || std::memchr(raw.data(), kCr, n) == nullptr) return Bulk::NotCarriageReturnEnded;
      first = false;
    }
    // The lines whose end is known: up to the last CR that is not the last byte read.
    size_t complete = n;
    if (!last) {
      const size_t cr = n >= 2 ? std::string_view(raw.data(), n - 1).rfind(kCr) : std::string_view::npos;
      if (cr == std::string_view::npos) {
        kept = n;
        continue;
      }
      complete = cr + 1 + (raw[cr + 1] == kLf ? 1 : 0);
    }
    if (!ConvertCaptureLines(raw.data(), complete, text, line)) return Bulk::Stopped;
    if (last) return Bulk::Read;
    std::memmove(raw.data(), raw.data() + complete, n - complete);
    kept = n - complete;
  }
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
      const char* const stop = FindEscOrBackspace(p, end);
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
        if (b >= 0x20 && b <= 0x3F) {
          // The rest of the parameters in one go (a colour is "ESC [ 1 ; 3 3 m").
          while (p < end && static_cast<unsigned char>(*p) >= 0x20 && static_cast<unsigned char>(*p) <= 0x3F) ++p;
          continue;
        }
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
constexpr size_t kBlockSlack = size_t{64} * 1024;   // what one append may add beyond it, mostly
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
    auto room = [&] {
      if (!block) {
        block = std::make_unique<Block>();
        block->text.reserve(kBlockBytes + kBlockSlack);
      }
    };
    // Whole lines of escape-free text, and a line without its end; false when
    // the reader is being destroyed.
    auto text = [&](std::string_view lines) {
      room();
      block->text.append(lines);
      return block->text.size() < kBlockBytes || hand_over();
    };
    // A line of escape-free text: `plain` as it stands, then `with_controls`
    // filtered straight into the block.
    auto line = [&](std::string_view plain, std::string_view with_controls) {
      room();
      block->text.append(plain);
      if (!with_controls.empty()) FilterEscapes(with_controls, block->text);
      block->text.append("\r\n", 2);
      return block->text.size() < kBlockBytes || hand_over();
    };
    for (size_t i = 0; i < inputs_.size(); ++i) {
      const bool with_positions = i < starts_.size();
      if (!with_positions) {
        const Bulk bulk = ReadCaptureInBulk(inputs_[i], text, line);
        if (bulk == Bulk::Stopped) return;
        if (bulk == Bulk::Read) continue;
      }
      LineReader reader(inputs_[i], LineEnds::CaptureOrLf);
      std::string_view raw;
      while (reader.Next(raw)) {
        room();
        if (with_positions) block->input_positions.push_back(starts_[i] + reader.Position());
        if (!line({}, raw)) return;
      }
    }
    if (block && sink_) sink_(block->text);
  } catch (...) {
    error = std::current_exception();
  }
  // The last lines, and then the end or the failure that ended the reading.
  {
    std::lock_guard lock(mutex_);
    if (block && !block->text.empty()) full_.push_back(std::move(block));
    error_ = error;
    produced_all_ = true;
  }
  changed_.notify_all();
}

bool EscapeFilteringReader::TakeBlock() {
  std::unique_lock lock(mutex_);
  if (current_) {
    current_->text.clear();
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
  while (!current_ || offset_ == current_->text.size()) {
    if (!TakeBlock()) return false;
  }
  if (line_ < current_->input_positions.size()) input_position_ = current_->input_positions[line_];
  ++line_;
  // Every line of the text ends with CR LF, and no line holds a CR.
  const char* begin = current_->text.data() + offset_;
  const size_t length =
      static_cast<size_t>(FindByte(begin, current_->text.data() + current_->text.size(), kCr) - begin);
  line = std::string_view(begin, length);
  offset_ += length + 2;
  position_ += length + 2;
  return true;
}

void EscapeFilteringReader::SkipLinesNotStartingWith(char a, char b, char c) {
  if (!starts_.empty()) return;
  for (;;) {
    while (!current_ || offset_ == current_->text.size()) {
      if (!TakeBlock()) return;
    }
    const size_t at = LineStartingWith(current_->text, offset_, a, b, c);
    position_ += at - offset_;
    offset_ = at;
    if (at < current_->text.size()) return;
  }
}

void EscapeFilteringReader::Finish() {
  std::string_view line;
  while (Next(line)) {
  }
}

}  // namespace tobrisk
