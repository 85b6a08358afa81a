// One message found in the opened logs, and the message list that holds them.
// Numbers are held as integers; everything that shows, stores or compares them
// uses their decimal text ("-1" when missing, "-2" for every mail's number,
// "-100" for the mail box's board numbers).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text/huge_pages.h"
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
// hold the number of one interned copy (see MessageList::Context), which keeps
// the entry small; a default entry holds kNoContext.
struct EntryContext {
  int32_t board_list_no = -1;               // BoardListNo: major sort key
  int32_t board_no = -1;                    // BoardNo
  const std::string* board_name = nullptr;  // BoardName (interned)
  const std::string* mark = nullptr;        // Mark (interned; "" unread)
  BoardType board_type = BoardType::BBS;    // BoardType
  MessageKind kind = MessageKind::New;      // Kind
  bool operator==(const EntryContext&) const = default;
};

// The number of an interned context. Contexts and the texts they point to are
// few (boards x marks x kinds) and are kept for the life of the process, in a
// table shared by every message list, so that an entry can name its context in
// four bytes and still read it without its list.
using ContextId = uint32_t;
inline constexpr ContextId kNoContext = 0;  // the default context (EntryContext{})

namespace entry_detail {
inline constexpr size_t kContextChunkBits = 12;
inline constexpr size_t kContextChunks = size_t{1} << 16;  // room for 268 million contexts
// Chunks of contexts, each filled before its contexts' numbers are handed out.
extern std::atomic<const EntryContext*> context_chunks[kContextChunks];
}  // namespace entry_detail

inline const EntryContext& ContextOf(ContextId id) {
  constexpr ContextId kMask = (ContextId{1} << entry_detail::kContextChunkBits) - 1;
  return entry_detail::context_chunks[id >> entry_detail::kContextChunkBits].load(
      std::memory_order_acquire)[id & kMask];
}

// Interns texts shared by many entries (board names, read marks) and contexts,
// for the life of the process; pointers and numbers stay valid. Thread-safe.
const std::string* InternText(std::string_view text);
ContextId InternContext(const EntryContext& context);

// SeqNo is not stored: it is always the entry's position in the list + 1 (the
// parser numbers entries as it appends them, and the sort leaves the numbers in
// place while it moves the entries).
inline int32_t SeqNoAt(size_t index) { return static_cast<int32_t>(index + 1); }

struct MessageEntry {
  int32_t writer_id = -1;          // WriterId
  int32_t message_no = -1;         // MessageNo
  int32_t res_to_no = -1;          // ResToNo
  ContextId context = kNoContext;  // board, mark and kind (interned)
  PackedOffset text_offset;        // TextOffset into NOESC.LOG (below 1 TiB: see TextOffsetAt)
  InlineText<32> title;            // Title, trimmed (at most 32 bytes)
  InlineText<16> writer_handle;    // WriterHandle, trimmed (at most 16 bytes)
  PaddedText<5> write_date;        // WriteDate, trimmed (at most 5 bytes)

  const EntryContext& Context() const { return ContextOf(context); }
  int32_t board_list_no() const { return Context().board_list_no; }
  int32_t board_no() const { return Context().board_no; }
  BoardType board_type() const { return Context().board_type; }
  MessageKind kind() const { return Context().kind; }
  std::string_view BoardName() const {
    const EntryContext& c = Context();
    return c.board_name ? std::string_view(*c.board_name) : std::string_view();
  }
  std::string_view Mark() const {
    const EntryContext& c = Context();
    return c.mark ? std::string_view(*c.mark) : std::string_view();
  }
  bool IsMail() const { return Context().board_type == BoardType::MAIL; }

  // The sort key: BoardListNo × 100000 + MessageNo.
  int64_t SortKey() const { return int64_t{Context().board_list_no} * 100000 + message_no; }
};
static_assert(sizeof(MessageEntry) <= 76, "an entry per message: keep it compact");

// The 14 fields of an entry as decimal text / text, in field order
// (SeqNo, BoardListNo, BoardNo, BoardName, BoardType, WriterId, WriterHandle,
// MessageNo, ResToNo, Kind, Title, TextOffset, WriteDate, Mark).
std::vector<std::string> EntryFields(const MessageEntry& entry, int32_t seq_no);

// The same 14 fields appended to `out` with `separator` between them, without
// allocating per field (for writing big lists).
void AppendEntryFields(std::string& out, const MessageEntry& entry, int32_t seq_no, char separator);

// The message list. Its entries stay where they were read (a sorted list keeps
// its order beside them instead of moving 76 bytes per entry); `[i]` is the
// entry at list position i.
class MessageList {
 public:
  MessageList() = default;
  MessageList(const MessageList&) = delete;
  MessageList& operator=(const MessageList&) = delete;
  MessageList(MessageList&&) = default;
  MessageList& operator=(MessageList&&) = default;

  size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  MessageEntry& operator[](size_t i) { return entries_[Stored(i)]; }
  const MessageEntry& operator[](size_t i) const { return entries_[Stored(i)]; }
  // The entries as they are stored: in the order they were read, not in list
  // order once the list has an order (for visiting every entry, where the
  // order does not matter).
  HugeVector<MessageEntry>& Entries() { return entries_; }
  const HugeVector<MessageEntry>& Entries() const { return entries_; }
  // Where the entry at list position i is stored.
  size_t Stored(size_t i) const { return order_.empty() ? i : order_[i]; }
  // The list order: order[p] is where the entry at list position p is stored
  // (see SortMessages). Empty: the stored order.
  const std::vector<uint32_t>& Order() const { return order_; }
  void SetOrder(std::vector<uint32_t> order) { order_ = std::move(order); }
  // The 14 fields of entry i (its SeqNo is i + 1).
  std::vector<std::string> Fields(size_t i) const { return EntryFields((*this)[i], SeqNoAt(i)); }

  // Only before the list has an order.
  void Append(const MessageEntry& entry) { entries_.push_back(entry); }
  void Reserve(size_t n) { entries_.reserve(n); }
  // The room reserved beyond the entries goes back to the system (huge pages
  // would keep the part of one it ends in).
  void ReleaseRoom() { ReleasePages(entries_.data() + entries_.size(), entries_.data() + entries_.capacity()); }
  void Clear();

  const std::string* Intern(std::string_view text) { return InternText(text); }
  // The interned copy of `context`.
  ContextId Context(const EntryContext& context) { return InternContext(context); }
  // The context with its mark replaced by `mark`.
  ContextId WithMark(ContextId context, const std::string* mark);
  void SetMark(size_t i, std::string_view mark) {
    MessageEntry& e = (*this)[i];
    e.context = WithMark(e.context, Intern(mark));
  }

 private:
  HugeVector<MessageEntry> entries_;
  std::vector<uint32_t> order_;  // empty, or one position per entry
};

}  // namespace tobrisk
