#include "core/reading/message_entry.h"

#include <charconv>
#include <cstring>

#include "core/text/bytes.h"

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

size_t TextPool::ContextHash::operator()(const EntryContext& c) const {
  const uint64_t numbers = uint64_t{static_cast<uint32_t>(c.board_list_no)} << 32 | static_cast<uint32_t>(c.board_no);
  const uint64_t rest = reinterpret_cast<uintptr_t>(c.board_name) ^ (reinterpret_cast<uintptr_t>(c.mark) << 1) ^
                        (uint64_t{static_cast<uint8_t>(c.board_type)} << 56) ^
                        (uint64_t{static_cast<uint8_t>(c.kind)} << 60);
  return std::hash<uint64_t>{}(numbers * 0x9E3779B97F4A7C15ull ^ rest);
}

const EntryContext* TextPool::Intern(const EntryContext& context) { return &*contexts_.insert(context).first; }

std::vector<std::string> EntryFields(const MessageEntry& e) {
  return {DecimalText(e.seq_no),
          DecimalText(e.board_list_no()),
          DecimalText(e.board_no()),
          std::string(e.BoardName()),
          std::string(BoardTypeText(e.board_type())),
          DecimalText(e.writer_id),
          e.writer_handle.Str(),
          DecimalText(e.message_no),
          DecimalText(e.res_to_no),
          std::string(MessageKindText(e.kind())),
          e.title.Str(),
          DecimalText(static_cast<int64_t>(e.text_offset)),
          e.write_date.Str(),
          std::string(e.Mark())};
}

void AppendEntryFields(std::string& out, const MessageEntry& e, char separator) {
  // Room for everything at once, then plain stores: 7 numbers of at most 20
  // bytes, the fixed texts and the separators stay below 300 bytes.
  const std::string_view board_name = e.BoardName();
  const std::string_view mark = e.Mark();
  const size_t old = out.size();
  out.resize(old + 300 + board_name.size() + mark.size());
  char* p = out.data() + old;
  char* const limit = out.data() + out.size();
  auto number = [&](int64_t value) {
    p = std::to_chars(p, limit, value).ptr;
    *p++ = separator;
  };
  auto text = [&](std::string_view value) {
    std::memcpy(p, value.data(), value.size());
    p += value.size();
    *p++ = separator;
  };
  number(e.seq_no);
  number(e.board_list_no());
  number(e.board_no());
  text(board_name);
  text(BoardTypeText(e.board_type()));
  number(e.writer_id);
  text(e.writer_handle.View());
  number(e.message_no);
  number(e.res_to_no);
  text(MessageKindText(e.kind()));
  text(e.title.View());
  number(static_cast<int64_t>(e.text_offset));
  text(e.write_date.View());
  std::memcpy(p, mark.data(), mark.size());
  p += mark.size();
  out.resize(static_cast<size_t>(p - out.data()));
}

const EntryContext* MessageList::WithMark(const EntryContext* context, const std::string* mark) {
  if (context->mark == mark) return context;
  EntryContext changed = *context;
  changed.mark = mark;
  return Context(changed);
}

void MessageList::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  pool_ = std::make_unique<TextPool>();
}

}  // namespace tobrisk
