#include "core/reading/message_text.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/reading/work_state.h"
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
  static const std::string board = Sjis("● [");
  static const std::string received = Sjis("● 受け取り");
  static const std::string mail = Sjis("[ Ｍail (");
  // Every marker starts with "#", "[" or the lead byte of "●": most lines are
  // passed over on their first byte.
  if (line.empty()) return false;
  const char first = line[0];
  if (first != '#' && first != '[' && first != board[0]) return false;
  for (std::string_view marker : {std::string_view("#Fc."), std::string_view(board), std::string_view("[ AUTO ]"),
                                  std::string_view(received), std::string_view(mail)}) {
    if (line.substr(0, marker.size()) == marker) return true;
  }
  return false;
}

bool IsHiddenControl(unsigned char b) { return (b < 0x20 && b != '\t') || b == 0x7F; }

// The text at the start of `bytes`, cut at `stop` (an offset in them) when it
// goes on there; false when it may go on past their end (`to_end`: nothing
// follows them).
bool CutLines(std::string_view bytes, bool to_end, uint64_t stop, std::string_view line_end, MessageText& result) {
  LineReader reader(kInMemory, bytes);
  std::string_view line;
  result.bytes.clear();
  // Room for the text once: it is never longer than the bytes up to the stop.
  result.bytes.reserve(static_cast<size_t>(std::min<uint64_t>(bytes.size(), stop)));
  result.reached_stop = false;
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

void AppendShownLine(std::string_view line, std::string& out) {
  // Control bytes never stand inside a Shift-JIS character (trail bytes are
  // 0x40 and above, never 0x7F), so leaving them out splits no character.
  // Most lines hold none: skip eight bytes at a time while none is below 0x20
  // or 0x7F (a TAB, which stays, is looked at byte by byte).
  size_t i = 0;
  for (; i + 8 <= line.size(); i += 8) {
    uint64_t v;
    std::memcpy(&v, line.data() + i, 8);
    constexpr uint64_t kOnes = 0x0101010101010101;
    constexpr uint64_t kHigh = 0x8080808080808080;
    const uint64_t below_space = (v - kOnes * 0x20) & ~v & kHigh;
    const uint64_t x = v ^ (kOnes * 0x7F);
    const uint64_t del = (x - kOnes) & ~x & kHigh;
    if ((below_space | del) != 0) break;
  }
  size_t from = 0;
  for (; i < line.size(); ++i) {
    if (!IsHiddenControl(static_cast<unsigned char>(line[i]))) continue;
    out.append(line.substr(from, i - from));
    from = i + 1;
  }
  out.append(line.substr(from));
}

MessageText ReadMessageText(const std::string& noesc_path, uint64_t offset) {
  return MessageTextReader(noesc_path).Read(offset);
}

MessageText ReadMessageText(const WorkState& state, size_t index) {
  if (index >= state.messages.Size()) return {};
  return MessageTextReader(state).Text(index);
}

std::unique_ptr<LineReader> OpenEscapeFreeText(const WorkState& state, uint64_t offset) {
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
  Open();
  MessageText result;
  if (offset > size_) {
    result.offset_past_end = true;
    return result;
  }
  if (TryCut(offset, stop, result)) return result;
  size_t want = kFirstWindow;
  if (read_to > offset) {
    want = static_cast<size_t>(std::min<uint64_t>(read_to - offset, kMaxReadAhead));
  } else if (last_ != nullptr) {
    const bool next_on = offset >= last_->start && offset < last_->start + last_->size + kWindow;
    want = next_on ? kWindow : kJumpWindow;
  }
  for (;; want *= 4) {
    Window& window = Fill(offset, want);
    if (TryCutIn(window, offset, stop, result) || window.size < want) return result;
  }
}

MessageText MessageTextReader::Text(size_t index) {
  if (state_ == nullptr || index >= state_->messages.Size()) return {};
  return Read(state_->messages[index].text_offset);
}

}  // namespace tobrisk
