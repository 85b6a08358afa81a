#include "core/reading/message_entry.h"

#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

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

namespace entry_detail {
std::atomic<const EntryContext*> context_chunks[kContextChunks];
}  // namespace entry_detail

namespace {

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct ContextHash {
  size_t operator()(const EntryContext& c) const {
    const uint64_t numbers = uint64_t{static_cast<uint32_t>(c.board_list_no)} << 32 | static_cast<uint32_t>(c.board_no);
    const uint64_t rest = reinterpret_cast<uintptr_t>(c.board_name) ^ (reinterpret_cast<uintptr_t>(c.mark) << 1) ^
                          (uint64_t{static_cast<uint8_t>(c.board_type)} << 56) ^
                          (uint64_t{static_cast<uint8_t>(c.kind)} << 60);
    return std::hash<uint64_t>{}(numbers * 0x9E3779B97F4A7C15ull ^ rest);
  }
};

// The process's interned texts and contexts. Never destroyed: entries of
// static lists may be read while the program ends.
class EntryPool {
 public:
  EntryPool() { Add(EntryContext{}); }  // kNoContext

  const std::string* Text(std::string_view text) {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(text);
    if (it == texts_.end()) it = texts_.emplace(text).first;
    return &*it;
  }

  ContextId Context(const EntryContext& context) {
    std::lock_guard lock(mutex_);
    const auto it = ids_.find(context);
    if (it != ids_.end()) return it->second;
    return Add(context);
  }

 private:
  ContextId Add(const EntryContext& context) {
    constexpr size_t kChunkSize = size_t{1} << entry_detail::kContextChunkBits;
    const size_t chunk = count_ >> entry_detail::kContextChunkBits;
    if (chunk >= entry_detail::kContextChunks) throw std::length_error("too many different boards and marks");
    if ((count_ & (kChunkSize - 1)) == 0) chunks_.push_back(std::make_unique<EntryContext[]>(kChunkSize));
    chunks_.back()[count_ & (kChunkSize - 1)] = context;
    // Published once its first context is in place.
    if ((count_ & (kChunkSize - 1)) == 0) {
      entry_detail::context_chunks[chunk].store(chunks_.back().get(), std::memory_order_release);
    }
    const auto id = static_cast<ContextId>(count_++);
    ids_.emplace(context, id);
    return id;
  }

  std::mutex mutex_;
  std::unordered_set<std::string, TextHash, std::equal_to<>> texts_;
  std::unordered_map<EntryContext, ContextId, ContextHash> ids_;
  std::vector<std::unique_ptr<EntryContext[]>> chunks_;
  size_t count_ = 0;
};

EntryPool& Pool() {
  static EntryPool* const pool = new EntryPool();  // NOLINT(cppcoreguidelines-owning-memory): lives to the end
  return *pool;
}

}  // namespace

const std::string* InternText(std::string_view text) { return Pool().Text(text); }

ContextId InternContext(const EntryContext& context) { return Pool().Context(context); }

std::vector<std::string> EntryFields(const MessageEntry& e, int32_t seq_no) {
  return {DecimalText(seq_no),
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

void AppendEntryFields(std::string& out, const MessageEntry& e, int32_t seq_no, char separator) {
  // The fields are formatted on the stack and appended in one piece (growing
  // `out` ahead of the text would fill the room with zeros first). Numbers take
  // at most 20 bytes, fixed texts and the other fields at most 32; a board name
  // or a mark too long for the rest of the buffer goes out on its own.
  char buffer[512 + 1];  // + 1: a separator after a number that reached the limit stays inside
  char* p = buffer;
  char* const limit = buffer + sizeof buffer - 1;
  constexpr size_t kBoundedFields = 256;  // what the fields between the board name and the mark can take
  auto number = [&](int64_t value) {
    p = std::to_chars(p, limit, value).ptr;
    *p++ = separator;
  };
  auto text = [&](std::string_view value) {
    p = CopyBytes(value.data(), value.size(), p);
    *p++ = separator;
  };
  auto flush = [&] {
    out.append(buffer, static_cast<size_t>(p - buffer));
    p = buffer;
  };
  // A text of any length: copied when the buffer holds it and `after` more bytes.
  auto open_text = [&](std::string_view value, size_t after) {
    if (value.size() + after > static_cast<size_t>(limit - p)) {
      flush();
      out.append(value);
    } else {
      p = CopyBytes(value.data(), value.size(), p);
    }
  };
  number(seq_no);
  number(e.board_list_no());
  number(e.board_no());
  open_text(e.BoardName(), kBoundedFields);
  *p++ = separator;
  text(BoardTypeText(e.board_type()));
  number(e.writer_id);
  text(e.writer_handle.View());
  number(e.message_no);
  number(e.res_to_no);
  text(MessageKindText(e.kind()));
  text(e.title.View());
  number(static_cast<int64_t>(e.text_offset));
  text(e.write_date.View());
  open_text(e.Mark(), 0);
  flush();
}

ContextId MessageList::WithMark(ContextId context, const std::string* mark) {
  const EntryContext& current = ContextOf(context);
  if (current.mark == mark) return context;
  EntryContext changed = current;
  changed.mark = mark;
  return Context(changed);
}

void MessageList::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  order_.clear();
  order_.shrink_to_fit();
}

}  // namespace tobrisk
