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

}  // namespace

MessageText ReadMessageText(const std::string& noesc_path, uint64_t offset) {
  MessageText result;
  std::error_code ec;
  const auto size = std::filesystem::file_size(noesc_path, ec);
  if (ec) throw IoError("open", noesc_path, ec.message());
  if (offset > size) {
    result.offset_past_end = true;
    return result;
  }
  LineReader reader(noesc_path, offset);
  std::string_view line;
  while (reader.Next(line)) {
    if (EndsText(line)) break;
    result.bytes.append(line).append("\r\n");
  }
  return result;
}

MessageText ReadMessageText(const WorkState& state, size_t index) {
  if (index >= state.messages.Size()) return {};
  return ReadMessageText(state.WorkFile("NOESC.LOG"), state.messages[index].text_offset);
}

}  // namespace tobrisk
