#include "ingest/message_text.h"

#include <filesystem>

#include "ingest/work_state.h"
#include "text/io_error.h"
#include "text/line_reader.h"
#include "text/sjis.h"

namespace tobrisk {
namespace {

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

MessageText ReadText(LineReader& reader) {
  MessageText result;
  std::string_view line;
  while (reader.Next(line)) {
    if (EndsText(line)) break;
    AppendShownLine(line, result.bytes);
    result.bytes.append("\r\n");
  }
  return result;
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
  std::error_code ec;
  const auto size = std::filesystem::file_size(noesc_path, ec);
  if (ec) throw IoError("open", noesc_path, ec.message());
  if (offset > size) {
    MessageText past;
    past.offset_past_end = true;
    return past;
  }
  LineReader reader(noesc_path, offset);
  return ReadText(reader);
}

MessageText ReadMessageText(const WorkState& state, size_t index) {
  if (index >= state.messages.Size()) return {};
  const uint64_t offset = state.messages[index].text_offset;
  if (!state.escape_free_text) return ReadMessageText(state.WorkFile("NOESC.LOG"), offset);
  if (offset > state.escape_free_text->size()) {
    MessageText past;
    past.offset_past_end = true;
    return past;
  }
  LineReader reader(kInMemory, *state.escape_free_text, offset);
  return ReadText(reader);
}

std::unique_ptr<LineReader> OpenEscapeFreeText(const WorkState& state, uint64_t offset) {
  if (state.escape_free_text) return std::make_unique<LineReader>(kInMemory, *state.escape_free_text, offset);
  return std::make_unique<LineReader>(state.WorkFile("NOESC.LOG"), offset);
}

}  // namespace tobrisk
