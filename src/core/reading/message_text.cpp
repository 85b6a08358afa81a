#include "core/reading/message_text.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/reading/work_state.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

constexpr size_t kFirstWindow = size_t{64} * 1024;  // one text: as much as one file read
constexpr size_t kWindow = size_t{32} * 1024;       // many texts: neighbours share it; grows for a longer text

bool EndsText(std::string_view line) {
  static const std::string board = Sjis("● [");
  static const std::string received = Sjis("● 受け取り");
  static const std::string mail = Sjis("[ Ｍail (");
  for (std::string_view marker : {std::string_view("#Fc."), std::string_view(board), std::string_view("[ AUTO ]"),
                                  std::string_view(received), std::string_view(mail)}) {
    if (line.substr(0, marker.size()) == marker) return true;
  }
  return false;
}

bool IsHiddenControl(unsigned char b) { return (b < 0x20 && b != '\t') || b == 0x7F; }

// The text at the start of `bytes`; false when it may go on past their end
// (`to_end`: nothing follows them).
bool CutLines(std::string_view bytes, bool to_end, MessageText& result) {
  LineReader reader(kInMemory, bytes);
  std::string_view line;
  result.bytes.clear();
  while (reader.Next(line)) {
    // A line that reaches the end of the bytes may go on past it.
    if (!to_end && reader.Position() >= bytes.size()) return false;
    if (EndsText(line)) return true;
    AppendShownLine(line, result.bytes);
    result.bytes.append("\r\n");
  }
  // The end: of the file, at a Ctrl-Z, or of the bytes looked at.
  return to_end || reader.Position() < bytes.size();
}

}  // namespace

void AppendShownLine(std::string_view line, std::string& out) {
  // Control bytes never stand inside a Shift-JIS character (trail bytes are
  // 0x40 and above, never 0x7F), so leaving them out splits no character.
  size_t from = 0;
  for (size_t i = 0; i < line.size(); ++i) {
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
  if (state.escape_free_text) return std::make_unique<LineReader>(kInMemory, *state.escape_free_text, offset);
  return std::make_unique<LineReader>(state.WorkFile("NOESC.LOG"), offset);
}

MessageTextReader::MessageTextReader(const WorkState& state) : state_(&state), path_(state.WorkFile("NOESC.LOG")) {
  if (state.escape_free_text) {
    memory_ = *state.escape_free_text;
    in_memory_ = true;
    size_ = memory_.size();
    window_size_ = memory_.size();
  }
}

MessageTextReader::MessageTextReader(std::string noesc_path) : path_(std::move(noesc_path)) {}

MessageTextReader::MessageTextReader(InMemory, std::string_view text) : memory_(text), in_memory_(true) {
  size_ = text.size();
  window_size_ = text.size();
}

void MessageTextReader::Open() {
  if (file_ || in_memory_) return;
  std::error_code ec;
  size_ = std::filesystem::file_size(path_, ec);
  if (ec) throw IoError("open", path_, ec.message());
  file_ = OpenFile(path_, "rb");
}

void MessageTextReader::Fill(uint64_t offset, size_t size) {
  const uint64_t left = size_ - offset;
  size = static_cast<size_t>(std::min<uint64_t>(size, left));
  if (window_.size() < size) window_.resize(size);
  window_start_ = offset;
  window_size_ = 0;
  if (::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) throw IoError::FromErrno("seek", path_);
  while (window_size_ < size) {
    const size_t got = std::fread(window_.data() + window_size_, 1, size - window_size_, file_.get());
    if (got == 0) {
      if (std::ferror(file_.get())) throw IoError::FromErrno("read", path_);
      break;  // the file became shorter: read what is there
    }
    window_size_ += got;
  }
}

bool MessageTextReader::TryCut(uint64_t offset, MessageText& result) const {
  if (offset < window_start_ || offset > window_start_ + window_size_) return false;
  const bool window_to_end = window_start_ + window_size_ >= size_;
  const size_t from = static_cast<size_t>(offset - window_start_);
  const char* data = in_memory_ ? memory_.data() : window_.data();
  const std::string_view rest(data + from, window_size_ - from);
  // Texts are short: look at a few KiB first, so that the reader does not scan
  // the whole window for each of them.
  for (size_t size = std::min<size_t>(4096, rest.size());; size = std::min(size * 8, rest.size())) {
    const bool to_end = window_to_end && size == rest.size();
    if (CutLines(rest.substr(0, size), to_end, result)) return true;
    if (size == rest.size()) return false;
  }
}

MessageText MessageTextReader::Read(uint64_t offset) {
  Open();
  MessageText result;
  if (offset > size_) {
    result.offset_past_end = true;
    return result;
  }
  if (TryCut(offset, result) || in_memory_) return result;
  for (size_t want = window_.empty() ? kFirstWindow : kWindow;; want *= 4) {
    Fill(offset, want);
    if (TryCut(offset, result) || window_size_ < want) return result;
  }
}

MessageText MessageTextReader::Text(size_t index) {
  if (state_ == nullptr || index >= state_->messages.Size()) return {};
  return Read(state_->messages[index].text_offset);
}

}  // namespace tobrisk
