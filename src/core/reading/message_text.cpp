#include "core/reading/message_text.h"

#include <sys/types.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/reading/work_state.h"
#include "core/text/bytes.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

constexpr size_t kFirstWindow = size_t{64} * 1024;  // one text: as much as one file read
constexpr size_t kWindow = size_t{32} * 1024;       // many texts: neighbours share it; grows for a longer text
// A text away from the window (the list's order jumps about the file): a few
// texts' worth, so that a jump does not read a whole window for one short text.
constexpr size_t kJumpWindow = size_t{8} * 1024;
constexpr uint64_t kMaxReadAhead = uint64_t{1} << 20;  // what a caller may ask to be read at once

bool EndsText(std::string_view line) {
  // Every marker starts with "#", "[" or 0x81, the lead byte of "●": most
  // lines are passed over on their first byte.
  if (line.empty()) return false;
  const char first = line[0];
  if (first != '#' && first != '[' && first != '\x81') return false;
  static const std::string board = Sjis("● [");
  static const std::string received = Sjis("● 受け取り");
  static const std::string mail = Sjis("[ Ｍail (");
  for (std::string_view marker : {std::string_view("#Fc."), std::string_view(board), std::string_view("[ AUTO ]"),
                                  std::string_view(received), std::string_view(mail)}) {
    if (line.substr(0, marker.size()) == marker) return true;
  }
  return false;
}

constexpr char kCtrlZ = 0x1A;

bool IsControl(unsigned char b) { return b < 0x20 || b == 0x7F; }

// The first control byte (below 0x20, TAB too, or 0x7F) in [p, end); end when
// there is none. Text lines hold none but their line end: most lines are passed
// over 16 bytes at a time.
const char* FindControl(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i below_space = _mm_set1_epi8(0x1F);
  const __m128i del = _mm_set1_epi8(0x7F);
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(bytes, below_space), bytes);
    const int hit = _mm_movemask_epi8(_mm_or_si128(low, _mm_cmpeq_epi8(bytes, del)));
    if (hit != 0) return p + __builtin_ctz(static_cast<unsigned>(hit));
  }
#endif
  while (p < end && !IsControl(static_cast<unsigned char>(*p))) ++p;
  return p;
}

// CutLines for texts whose lines all end in CR before the end of the bytes and
// hold no Ctrl-Z, which is nearly every text: the same result in one pass.
// False when it cannot tell (a line reaches the end of the bytes, or a Ctrl-Z
// comes first): the text is then cut line by line. The size of result.bytes
// on entry is taken as room (a reused text keeps its buffer).
bool CutCrLines(std::string_view bytes, uint64_t stop, std::string_view line_end, MessageText& result) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  std::string& text = result.bytes;
  size_t used = 0;
  for (const char* line = begin;;) {
    if (static_cast<uint64_t>(line - begin) == stop) {
      result.reached_stop = true;
      text.resize(used);
      return true;
    }
    // The line's CR, past any other control byte in it.
    const char* cr = FindControl(line, end);
    bool plain = true;
    while (cr != end && *cr != '\r' && *cr != kCtrlZ) {
      plain = false;
      cr = FindControl(cr + 1, end);
    }
    if (cr == end || *cr == kCtrlZ) return false;
    const char* next = cr + 1;
    if (next < end && *next == '\n') ++next;
    if (next >= end) return false;  // what follows may still join the line end
    const std::string_view content(line, static_cast<size_t>(cr - line));
    if (EndsText(content)) {
      text.resize(used);
      return true;
    }
    const size_t most = content.size() + line_end.size();
    if (text.size() < used + most) text.resize(std::max({used + most, text.size() * 2, size_t{256}}));
    char* out = text.data() + used;
    if (plain) {
      out = CopyBytes(content.data(), content.size(), out);
    } else {
      out = PutShownLine(content, out);
    }
    used = static_cast<size_t>(CopyBytes(line_end.data(), line_end.size(), out) - text.data());
    line = next;
  }
}

// The text at the start of `bytes`, cut at `stop` (an offset in them) when it
// goes on there; false when it may go on past their end (`to_end`: nothing
// follows them).
bool CutLines(std::string_view bytes, bool to_end, uint64_t stop, std::string_view line_end, MessageText& result) {
  result.reached_stop = false;
  if (CutCrLines(bytes, stop, line_end, result)) return true;
  result.bytes.clear();
  LineReader reader(kInMemory, bytes);
  std::string_view line;
  for (;;) {
    if (reader.Position() == stop) {
      result.reached_stop = true;
      return true;
    }
    if (!reader.Next(line)) break;
    // A line that reaches the end of the bytes may go on past it.
    if (!to_end && reader.Position() >= bytes.size()) return false;
    if (EndsText(line)) return true;
    AppendShownLine(line, result.bytes);
    result.bytes.append(line_end);
  }
  // The end: of the file, at a Ctrl-Z, or of the bytes looked at.
  return to_end || reader.Position() < bytes.size();
}

}  // namespace

char* PutShownLine(std::string_view line, char* out) {
  // Control bytes never stand inside a Shift-JIS character (trail bytes are
  // 0x40 and above, never 0x7F), so leaving them out splits no character.
  const char* const end = line.data() + line.size();
  const char* shown = line.data();
  for (const char* at = FindControl(shown, end); at != end; at = FindControl(at + 1, end)) {
    if (*at == '\t') continue;
    out = CopyBytes(shown, static_cast<size_t>(at - shown), out);
    shown = at + 1;
  }
  return CopyBytes(shown, static_cast<size_t>(end - shown), out);
}

void AppendShownLine(std::string_view line, std::string& out) {
  const size_t old = out.size();
  out.resize(old + line.size());
  out.resize(static_cast<size_t>(PutShownLine(line, out.data() + old) - out.data()));
}

MessageText ReadMessageText(const std::string& noesc_path, uint64_t offset) {
  return MessageTextReader(noesc_path).Read(offset);
}

MessageText ReadMessageText(const WorkState& state, size_t index) {
  if (index >= state.messages.Size()) return {};
  return MessageTextReader(state).Text(index);
}

std::unique_ptr<LineReader> OpenEscapeFreeText(const WorkState& state, uint64_t offset) {
  state.AwaitEscapeFreeText();
  if (state.escape_free_text) {
    const ScratchFile& file = *state.escape_free_text;
    return std::make_unique<LineReader>(file.OpenForReading(offset), "a temporary file in " + file.Folder(), offset);
  }
  return std::make_unique<LineReader>(state.WorkFile("NOESC.LOG"), offset);
}

MessageTextReader::MessageTextReader(const WorkState& state) : state_(&state) {
  if (state.escape_free_text) {
    scratch_ = state.escape_free_text.get();
  } else {
    path_ = state.WorkFile("NOESC.LOG");
  }
}

MessageTextReader::MessageTextReader(std::string noesc_path) : path_(std::move(noesc_path)) {}

MessageTextReader::MessageTextReader(const ScratchFile& file) : scratch_(&file) {}

void MessageTextReader::Open() {
  if (scratch_ != nullptr) {
    size_ = scratch_->Size();
    return;
  }
  if (file_) return;
  std::error_code ec;
  size_ = std::filesystem::file_size(path_, ec);
  if (ec) throw IoError("open", path_, ec.message());
  file_ = OpenFile(path_, "rb");
}

MessageTextReader::Window& MessageTextReader::Fill(uint64_t offset, size_t size) {
  // A window that starts here is one being grown for a longer text; otherwise
  // the one used longest ago makes room.
  Window* window = &windows_[0];
  for (Window& w : windows_) {
    if (w.size > 0 && w.start == offset) {
      window = &w;
      break;
    }
    if (w.used < window->used) window = &w;
  }
  const uint64_t left = size_ - offset;
  size = static_cast<size_t>(std::min<uint64_t>(size, left));
  if (state_ != nullptr) state_->AwaitEscapeFreeText(offset + size);
  if (window->bytes.size() < size) window->bytes.resize(size);
  window->start = offset;
  window->size = 0;
  if (scratch_ != nullptr) {
    window->size = scratch_->ReadAt(offset, window->bytes.data(), size);
  } else {
    // A file that became shorter gives what is there.
    window->size = ReadAt(::fileno(file_.get()), offset, window->bytes.data(), size, "read", path_);
  }
  window->used = ++uses_;
  last_ = window;
  return *window;
}

bool MessageTextReader::Holds(uint64_t offset, uint64_t end) const {
  for (const Window& w : windows_) {
    if (offset >= w.start && end <= w.start + w.size) return true;
  }
  return false;
}

bool MessageTextReader::TryCutIn(Window& window, uint64_t offset, uint64_t stop, MessageText& result) const {
  if (offset < window.start || offset > window.start + window.size) return false;
  const bool window_to_end = window.start + window.size >= size_;
  const size_t from = static_cast<size_t>(offset - window.start);
  const std::string_view rest(window.bytes.data() + from, window.size - from);
  const uint64_t stop_in_rest = stop > offset ? stop - offset : MessageTextReader::kNoStop;
  // Texts are short: look at a few KiB first, so that the reader does not scan
  // the whole window for each of them.
  for (size_t size = std::min<size_t>(4096, rest.size());; size = std::min(size * 8, rest.size())) {
    const bool to_end = window_to_end && size == rest.size();
    if (CutLines(rest.substr(0, size), to_end, stop_in_rest, line_end_, result)) return true;
    if (size == rest.size()) return false;
  }
}

bool MessageTextReader::TryCut(uint64_t offset, uint64_t stop, MessageText& result) {
  // Mostly the window of the text before holds this one too.
  if (last_ != nullptr && TryCutIn(*last_, offset, stop, result)) {
    last_->used = ++uses_;
    return true;
  }
  for (Window& w : windows_) {
    if (&w == last_ || w.size == 0 || !TryCutIn(w, offset, stop, result)) continue;
    w.used = ++uses_;
    last_ = &w;
    return true;
  }
  return false;
}

MessageText MessageTextReader::Read(uint64_t offset) { return Read(offset, MessageTextReader::kNoStop); }

MessageText MessageTextReader::Read(uint64_t offset, uint64_t stop, uint64_t read_to) {
  MessageText result;
  Read(offset, stop, read_to, result);
  return result;
}

void MessageTextReader::Read(uint64_t offset, uint64_t stop, uint64_t read_to, MessageText& result) {
  Open();
  result.offset_past_end = false;
  result.reached_stop = false;
  if (offset > size_) {
    result.bytes.clear();
    result.offset_past_end = true;
    return;
  }
  if (TryCut(offset, stop, result)) return;
  size_t want = kFirstWindow;
  if (read_to > offset) {
    want = static_cast<size_t>(std::min<uint64_t>(read_to - offset, kMaxReadAhead));
  } else if (last_ != nullptr) {
    const bool next_on = offset >= last_->start && offset < last_->start + last_->size + kWindow;
    want = next_on ? kWindow : kJumpWindow;
  }
  for (;; want *= 4) {
    Window& window = Fill(offset, want);
    if (TryCutIn(window, offset, stop, result) || window.size < want) return;
  }
}

MessageText MessageTextReader::Text(size_t index) {
  if (state_ == nullptr || index >= state_->messages.Size()) return {};
  return Read(state_->messages[index].text_offset);
}

}  // namespace tobrisk
