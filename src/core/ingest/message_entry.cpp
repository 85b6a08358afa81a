#include "ingest/message_entry.h"

#include "text/bytes.h"

namespace tobrisk {

std::string_view BoardTypeText(BoardType type) {
  switch (type) {
    case BoardType::BBS: return "BBS";
    case BoardType::IBBS: return "IBBS";
    case BoardType::CUG: return "CUG";
    case BoardType::MAIL: return "MAIL";
  }
  return {};
}

std::string_view MessageKindText(MessageKind kind) {
  switch (kind) {
    case MessageKind::New: return "NEW";
    case MessageKind::Res: return "RES";
    case MessageKind::Mail: return "MAIL";
  }
  return {};
}

const std::string* TextPool::Intern(std::string_view text) {
  auto it = texts_.find(text);
  if (it == texts_.end()) it = texts_.emplace(text).first;
  return &*it;
}

std::vector<std::string> EntryFields(const MessageEntry& e) {
  return {DecimalText(e.seq_no),
          DecimalText(e.board_list_no),
          DecimalText(e.board_no),
          std::string(e.BoardName()),
          std::string(BoardTypeText(e.board_type)),
          DecimalText(e.writer_id),
          e.writer_handle.Str(),
          DecimalText(e.message_no),
          DecimalText(e.res_to_no),
          std::string(MessageKindText(e.kind)),
          e.title.Str(),
          DecimalText(static_cast<int64_t>(e.text_offset)),
          e.write_date.Str(),
          std::string(e.Mark())};
}

void MessageList::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  pool_ = std::make_unique<TextPool>();
}

}  // namespace tobrisk
