// One message found in the opened logs, and the message list that holds them.
// Numbers are held as integers; everything that shows, stores or compares them
// uses their decimal text ("-1" when missing, "-2" for every mail's number,
// "-100" for the mail box's board numbers).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/text/inline_text.h"

namespace tobrisk {

enum class BoardType : uint8_t { BBS, IBBS, CUG, MAIL };
enum class MessageKind : uint8_t { New, Res, Mail };

// "BBS", "IBBS", "CUG", "MAIL"
std::string_view BoardTypeText(BoardType type);
// "NEW", "RES", "MAIL"
std::string_view MessageKindText(MessageKind kind);

inline constexpr int32_t kMissingNumber = -1;
inline constexpr int32_t kMailMessageNo = -2;
inline constexpr int32_t kMailBoardNo = -100;

// What many entries share: their board, their read mark and their kind. Entries
// point to one interned copy (see MessageList::Context), which keeps the entry
// small; a default entry points to kNoContext.
struct EntryContext {
  int32_t board_list_no = -1;               // BoardListNo: major sort key
  int32_t board_no = -1;                    // BoardNo
  const std::string* board_name = nullptr;  // BoardName (interned)
  const std::string* mark = nullptr;        // Mark (interned; "" unread)
  BoardType board_type = BoardType::BBS;    // BoardType
  MessageKind kind = MessageKind::New;      // Kind
  bool operator==(const EntryContext&) const = default;
};

inline constexpr EntryContext kNoContext{};

// Interned texts shared by many entries (board names, read marks) and the
// interned contexts. They live as long as the pool; pointers to them stay valid.
class TextPool {
 public:
  const std::string* Intern(std::string_view text);
  const std::string* Empty() { return Intern(std::string_view()); }
  const EntryContext* Intern(const EntryContext& context);

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  struct ContextHash {
    size_t operator()(const EntryContext& c) const;
  };
  std::unordered_set<std::string, Hash, std::equal_to<>> texts_;
  std::unordered_set<EntryContext, ContextHash> contexts_;
};

struct MessageEntry {
  int32_t seq_no = 0;                         // SeqNo: position + 1 after the sort
  int32_t writer_id = -1;                     // WriterId
  int32_t message_no = -1;                    // MessageNo
  int32_t res_to_no = -1;                     // ResToNo
  uint64_t text_offset = 0;                   // TextOffset into NOESC.LOG
  const EntryContext* context = &kNoContext;  // board, mark and kind (interned)
  InlineText<32> title;                       // Title, trimmed (at most 32 bytes)
  InlineText<16> writer_handle;               // WriterHandle, trimmed (at most 16 bytes)
  InlineText<5> write_date;                   // WriteDate, trimmed (at most 5 bytes)

  int32_t board_list_no() const { return context->board_list_no; }
  int32_t board_no() const { return context->board_no; }
  BoardType board_type() const { return context->board_type; }
  MessageKind kind() const { return context->kind; }
  std::string_view BoardName() const {
    return context->board_name ? std::string_view(*context->board_name) : std::string_view();
  }
  std::string_view Mark() const { return context->mark ? std::string_view(*context->mark) : std::string_view(); }
  bool IsMail() const { return context->board_type == BoardType::MAIL; }

  // The sort key: BoardListNo × 100000 + MessageNo.
  int64_t SortKey() const { return int64_t{context->board_list_no} * 100000 + message_no; }
};
static_assert(sizeof(MessageEntry) <= 88, "an entry per message: keep it compact");

// The 14 fields of an entry as decimal text / text, in field order
// (SeqNo, BoardListNo, BoardNo, BoardName, BoardType, WriterId, WriterHandle,
// MessageNo, ResToNo, Kind, Title, TextOffset, WriteDate, Mark).
std::vector<std::string> EntryFields(const MessageEntry& entry);

// The same 14 fields appended to `out` with `separator` between them, without
// allocating per field (for writing big lists).
void AppendEntryFields(std::string& out, const MessageEntry& entry, char separator);

// The message list: entries in list order plus the pool of their shared texts
// and contexts. Not copyable: entries point into the pool.
class MessageList {
 public:
  MessageList() = default;
  MessageList(const MessageList&) = delete;
  MessageList& operator=(const MessageList&) = delete;
  MessageList(MessageList&&) = default;
  MessageList& operator=(MessageList&&) = default;

  size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  MessageEntry& operator[](size_t i) { return entries_[i]; }
  const MessageEntry& operator[](size_t i) const { return entries_[i]; }
  std::vector<MessageEntry>& Entries() { return entries_; }
  const std::vector<MessageEntry>& Entries() const { return entries_; }

  void Append(const MessageEntry& entry) { entries_.push_back(entry); }
  void Reserve(size_t n) { entries_.reserve(n); }
  void Clear();

  const std::string* Intern(std::string_view text) { return pool_->Intern(text); }
  // The interned copy of `context` (entries of this list point to it).
  const EntryContext* Context(const EntryContext& context) { return pool_->Intern(context); }
  // The entry's context with its mark replaced by `mark` (interned in this list).
  const EntryContext* WithMark(const EntryContext* context, const std::string* mark);
  void SetMark(size_t i, std::string_view mark) { entries_[i].context = WithMark(entries_[i].context, Intern(mark)); }

 private:
  std::vector<MessageEntry> entries_;
  std::unique_ptr<TextPool> pool_ = std::make_unique<TextPool>();
};

}  // namespace tobrisk
