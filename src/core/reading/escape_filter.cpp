#include "core/reading/escape_filter.h"

#include <algorithm>
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

// How the bulk reading of one input ended.
enum class Bulk { Read, NotCarriageReturnEnded, Stopped };

constexpr size_t kPieceBytes = size_t{256} * 1024;  // a piece is handed over at this size

// Reads one capture into pieces of whole lines, each `raw` as it stands, and
// hands them to `submit` (false: stop) in order; `new_piece` gives an empty
// piece whose raw buffer holds kPieceBytes or more. Only for captures whose
// line ends are CRs (see FilterPiece): when the first chunk holds no CR before a
// Ctrl-Z, nothing is handed out and NotCarriageReturnEnded tells the caller to
// read it line by line instead (the line reader decides between CR and LF line
// ends). A Ctrl-Z ends the capture.
template <typename Piece, typename NewPiece, typename Submit>
Bulk ReadCaptureInBulk(const std::string& path, const NewPiece& new_piece, const Submit& submit) {
  constexpr size_t kFirstChunk = size_t{64} * 1024;  // looked at for a CR before anything goes out
  const FileHandle file = OpenFile(path, "rb");
  std::unique_ptr<Piece> piece = new_piece();
  size_t n = 0;  // bytes in the piece
  bool first = true;
  for (;;) {
    std::vector<char>& raw = piece->raw;
    if (n == raw.size()) raw.resize(raw.size() * 2);  // one line longer than the piece
    const size_t want = first ? std::min(kFirstChunk, raw.size() - n) : raw.size() - n;
    const size_t got = std::fread(raw.data() + n, 1, want, file.get());
    if (got == 0 && std::ferror(file.get()) != 0) throw IoError::FromErrno("read", path);
    const void* ctrl_z = got > 0 ? std::memchr(raw.data() + n, 0x1A, got) : nullptr;
    n += got;
    bool last = got == 0;
    if (ctrl_z != nullptr) {
      n = static_cast<size_t>(static_cast<const char*>(ctrl_z) - raw.data());
      last = true;
    }
    if (first) {
      if (n == 0 || std::memchr(raw.data(), kCr, n) == nullptr) return Bulk::NotCarriageReturnEnded;
      first = false;
    }
    if (!last && n < kPieceBytes) continue;
    // The lines whose end is known: up to the last CR that is not the last byte read.
    size_t complete = n;
    if (!last) {
      const void* const cr = n >= 2 ? memrchr(raw.data(), kCr, n - 1) : nullptr;
      if (cr == nullptr) continue;
      complete = static_cast<size_t>(static_cast<const char*>(cr) - raw.data()) + 1;
      if (raw[complete] == kLf) ++complete;
    }
    // The unended line goes on in the next piece.
    std::unique_ptr<Piece> next = last ? nullptr : new_piece();
    if (next) {
      if (next->raw.size() < n - complete) next->raw.resize(n - complete);
      std::memcpy(next->raw.data(), raw.data() + complete, n - complete);
    }
    piece->raw_size = complete;
    if (complete > 0 && !submit(std::move(piece))) return Bulk::Stopped;
    if (last) return Bulk::Read;
    piece = std::move(next);
    n -= complete;
  }
}

// The escape-free text of [p, end) written at `out`, which has room for as
// many bytes (the text is never longer); returns the end of what was written.
// The filter of FilterEscapes.
char* FilterEscapesAt(const char* p, const char* const end, char* out) {
  // Where the filter stands inside a sequence; Text outside one.
  enum class State { Text, Escape, Intermediate, Control, OsCommand, OsCommandEscape };
  State state = State::Text;
  while (p < end) {
    if (state == State::Text) {
      // Copy the plain run up to the next ESC or backspace in one go.
      const char* const stop = FindEscOrBackspace(p, end);
      out = CopyBytes(p, static_cast<size_t>(stop - p), out);
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
      *out++ = static_cast<char>(b);
    }
  }
  return out;
}

// The escape-free text of the capture bytes [p, p + n), whose line ends are
// CRs, appended to `out` with every line ended by CR LF. Every line of the bytes
// ends with a CR (and its LF, if one follows) except perhaps the last, which the
// end of the input or a Ctrl-Z ended. Runs of lines ended by CR LF without ESC
// or backspace are their own escape-free text and go out whole; any other line
// goes out as the plain bytes before its first ESC or backspace and the rest
// filtered.
void FilterPiece(const char* p, size_t n, ByteBuilder& out) {
  // The text is as long as the bytes but for a CR without LF, which becomes
  // CR LF, and a last line without its end: room is made for those as they come.
  char* w = out.Room(n + 2);
  auto room_for = [&out, &w](size_t more) {
    out.End(w);
    w = out.Room(more);
  };
  size_t done = 0;  // the first line not out yet
  while (done < n) {
    const size_t breaker = FindLineBreaker(p, done, n);
    // The lines before the breaker's line (or before an unended last line) go
    // out as they stand; the last CR before the breaker is followed by LF.
    const void* const last_cr = memrchr(p + done, kCr, breaker - done);
    const size_t start = last_cr == nullptr ? done : static_cast<size_t>(static_cast<const char*>(last_cr) - p) + 2;
    room_for(start - done);
    w = CopyBytes(p + done, start - done, w);
    if (breaker == n && start == n) break;
    // One line on its own: from `start` to its CR, or to the end of the bytes.
    const size_t end = static_cast<size_t>(FindByte(p + breaker, p + n, kCr) - p);
    room_for(end - start + 2);
    w = CopyBytes(p + start, breaker - start, w);
    w = FilterEscapesAt(p + breaker, p + end, w);
    *w++ = kCr;
    *w++ = kLf;
    done = end == n ? n : end + 1;
    if (done < n && p[done] == kLf) ++done;
  }
  out.End(w);
}

// One line of a capture (without its line end) filtered and appended to `text`
// with CR LF.
void AppendFilteredLine(std::string_view raw, ByteBuilder& text) {
  char* w = text.Room(raw.size() + 2);
  w = FilterEscapesAt(raw.data(), raw.data() + raw.size(), w);
  *w++ = kCr;
  *w++ = kLf;
  text.End(w);
}

}  // namespace

void FilterEscapes(std::string_view line, std::string& out) {
  const size_t old = out.size();
  out.resize(old + line.size());
  char* const text_end = FilterEscapesAt(line.data(), line.data() + line.size(), out.data() + old);
  out.resize(static_cast<size_t>(text_end - out.data()));
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

constexpr size_t kPiecesAhead = 4;  // the reading thread stays at most this far ahead

}  // namespace

void CutEscapesInPieces(const std::vector<std::string>& inputs, const EscapeFreeSink& sink) {
  struct Piece {
    std::vector<char> raw = std::vector<char>(kPieceBytes);
    size_t raw_size = 0;
  };
  std::unique_ptr<Piece> spare;
  ByteBuilder text;
  for (const std::string& input : inputs) {
    const Bulk bulk = ReadCaptureInBulk<Piece>(
        input, [&spare] { return spare ? std::move(spare) : std::make_unique<Piece>(); },
        [&](std::unique_ptr<Piece> piece) {
          text.Clear();
          FilterPiece(piece->raw.data(), piece->raw_size, text);
          sink(text.View());
          spare = std::move(piece);
          return true;
        });
    if (bulk != Bulk::NotCarriageReturnEnded) continue;
    text.Clear();
    LineReader reader(input, LineEnds::CaptureOrLf);
    std::string_view raw;
    while (reader.Next(raw)) {
      AppendFilteredLine(raw, text);
      if (text.Size() >= kPieceBytes) {
        sink(text.View());
        text.Clear();
      }
    }
    if (text.Size() > 0) sink(text.View());
  }
}

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

std::unique_ptr<EscapeFilteringReader::Piece> EscapeFilteringReader::NewPiece() {
  std::unique_ptr<Piece> piece;
  {
    std::lock_guard lock(mutex_);
    if (!free_.empty()) {
      piece = std::move(free_.back());
      free_.pop_back();
    }
  }
  if (!piece) {
    piece = std::make_unique<Piece>();
    piece->raw.resize(kPieceBytes);
  }
  return piece;
}

EscapeFilteringReader::Piece* EscapeFilteringReader::Unclaimed() {
  for (const std::unique_ptr<Piece>& piece : queue_) {
    if (!piece->filtered && !piece->filtering) return piece.get();
  }
  return nullptr;
}

void EscapeFilteringReader::Filter(std::unique_lock<std::mutex>& lock, Piece& piece) {
  piece.filtering = true;
  lock.unlock();
  FilterPiece(piece.raw.data(), piece.raw_size, piece.text);
  lock.lock();
  piece.filtering = false;
  piece.filtered = true;
  changed_.notify_all();
}

bool EscapeFilteringReader::Work(std::unique_lock<std::mutex>& lock, bool until_all) {
  bool idle_done = false;  // the idle step had nothing to do since the last wait
  for (;;) {
    if (cancel_) return false;
    // The sink takes the pieces in order, each once it is filtered.
    Piece* unsunk = nullptr;
    for (const std::unique_ptr<Piece>& piece : queue_) {
      if (!piece->sunk) {
        unsunk = piece.get();
        break;
      }
    }
    Piece* const unclaimed = Unclaimed();
    try {
      if (unsunk != nullptr && unsunk->filtered) {
        lock.unlock();
        sink_(unsunk->text.View());
        lock.lock();
        unsunk->sunk = true;
        changed_.notify_all();
        continue;
      }
      if (until_all ? unsunk == nullptr && unclaimed == nullptr : queue_.size() < kPiecesAhead) return true;
      if (unclaimed != nullptr) {
        Filter(lock, *unclaimed);
        continue;
      }
      if (idle_step_ && !idle_done) {
        const std::function<bool()> step = idle_step_;
        lock.unlock();
        idle_done = !step();
        lock.lock();
        // The lock was let go: what the parsing thread did meanwhile (and told
        // nobody who was waiting) is looked at again before waiting.
        continue;
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      failure_ = std::current_exception();
      return false;
    }
    changed_.wait(lock);
    idle_done = false;
  }
}

bool EscapeFilteringReader::Submit(std::unique_ptr<Piece> piece) {
  std::unique_lock lock(mutex_);
  piece->sunk = !sink_;
  queue_.push_back(std::move(piece));
  changed_.notify_all();
  return Work(lock, false);
}

void EscapeFilteringReader::Produce() {
  std::exception_ptr error;
  bool going = true;  // false once cancelled, or once the sink or a filtering failed
  try {
    for (size_t i = 0; i < inputs_.size() && going; ++i) {
      const bool with_positions = i < starts_.size();
      if (!with_positions) {
        const Bulk bulk = ReadCaptureInBulk<Piece>(
            inputs_[i], [this] { return NewPiece(); },
            [this](std::unique_ptr<Piece> p) { return Submit(std::move(p)); });
        if (bulk == Bulk::Stopped) going = false;
        if (bulk != Bulk::NotCarriageReturnEnded) continue;
      }
      // Line by line, into pieces filtered as they fill.
      std::unique_ptr<Piece> piece = NewPiece();
      piece->filtered = true;
      LineReader reader(inputs_[i], LineEnds::CaptureOrLf);
      std::string_view raw;
      while (going && reader.Next(raw)) {
        if (with_positions) piece->input_positions.push_back(starts_[i] + reader.Position());
        AppendFilteredLine(raw, piece->text);
        if (piece->text.Size() >= kPieceBytes) {
          going = Submit(std::move(piece));
          piece = NewPiece();
          piece->filtered = true;
        }
      }
      if (going && piece->text.Size() > 0) going = Submit(std::move(piece));
    }
  } catch (...) {
    error = std::current_exception();  // a read failure: the lines before it still go out
  }
  std::unique_lock lock(mutex_);
  if (going) going = Work(lock, true);
  if (cancel_) return;
  if (!going) {
    // The text ends before the piece the sink or the filtering failed at.
    error = failure_;
    for (const std::unique_ptr<Piece>& piece : queue_) {
      if (!piece->sunk || !piece->filtered) {
        stop_at_ = piece.get();
        break;
      }
    }
  }
  error_ = error;
  produced_all_ = true;
  lock.unlock();
  changed_.notify_all();
}

bool EscapeFilteringReader::TakeBlock() {
  std::unique_lock lock(mutex_);
  if (current_) {
    current_->text.Clear();
    current_->input_positions.clear();
    current_->raw_size = 0;
    current_->filtered = false;
    current_->sunk = false;
    free_.push_back(std::move(current_));
  }
  for (;;) {
    if (!queue_.empty() && queue_.front().get() != stop_at_) {
      if (queue_.front()->filtered && queue_.front()->sunk) break;
    } else if (produced_all_) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    // While the reading thread is behind, this thread filters a piece read ahead.
    if (Piece* const piece = Unclaimed()) {
      Filter(lock, *piece);
      continue;
    }
    changed_.wait(lock);
  }
  current_ = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  changed_.notify_all();
  line_ = 0;
  offset_ = 0;
  return true;
}

bool EscapeFilteringReader::Next(std::string_view& line) {
  while (!current_ || offset_ == current_->text.Size()) {
    if (!TakeBlock()) return false;
  }
  if (line_ < current_->input_positions.size()) input_position_ = current_->input_positions[line_];
  ++line_;
  // Every line of the text ends with CR LF, and no line holds a CR.
  const char* begin = current_->text.View().data() + offset_;
  const size_t length =
      static_cast<size_t>(FindByte(begin, current_->text.View().data() + current_->text.Size(), kCr) - begin);
  line = std::string_view(begin, length);
  offset_ += length + 2;
  position_ += length + 2;
  return true;
}

void EscapeFilteringReader::SkipLinesNotStartingWith(char a, char b, char c) {
  if (!starts_.empty()) return;
  for (;;) {
    while (!current_ || offset_ == current_->text.Size()) {
      if (!TakeBlock()) return;
    }
    const size_t at = LineStartingWith(current_->text.View(), offset_, a, b, c);
    position_ += at - offset_;
    offset_ = at;
    if (at < current_->text.Size()) return;
  }
}

void EscapeFilteringReader::WhileWaiting(std::function<bool()> step) {
  std::lock_guard lock(mutex_);
  idle_step_ = std::move(step);
}

void EscapeFilteringReader::Finish() {
  std::string_view line;
  while (Next(line)) {
  }
}

}  // namespace tobrisk
