#include "core/reading/message_tree.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/reading/message_entry.h"
#include "core/reading/read_marks.h"
#include "core/text/bytes.h"
#include "core/text/run_beside.h"
#include "core/text/sjis.h"

namespace tobrisk {

int IconForMark(std::string_view mark) {
  if (mark == kRepliedMark) return kIconReplied;
  if (mark == kReadMark) return kIconRead;
  if (mark == kCheckedMark) return kIconChecked;
  return kIconUnread;
}

namespace {

const std::string& MailRootText() {
  static const std::string text = Sjis("『新着メール』");
  return text;
}
const std::string& MessageRootText() {
  static const std::string text = Sjis("『新着メッセージ』");
  return text;
}
const std::string& OpenBracket() {
  static const std::string text = Sjis("【");
  return text;
}
const std::string& CloseBracket() {
  static const std::string text = Sjis("】");
  return text;
}

// The number of a message node: the message number filled with "0" to 5 bytes.
constexpr size_t kNumberWidth = 5;
constexpr std::string_view kMessagePrefix = "#Fc.";

}  // namespace

char* PutMessageLabel(int32_t message_no, char* out) {
  char digits[11];
  const char* const end = std::to_chars(digits, digits + sizeof digits, message_no).ptr;
  const auto size = static_cast<size_t>(end - digits);
  out = CopyBytes("#Fc.00000", kMessagePrefix.size() + (size < kNumberWidth ? kNumberWidth - size : 0), out);
  for (const char* d = digits; d < end; ++d) *out++ = *d;
  return out;
}

const MessageEntry& MessageTree::EntryAt(size_t p) const { return (*messages_)[p]; }

void MessageTree::Clear() {
  messages_ = nullptr;
  nodes_.clear();
  nodes_.shrink_to_fit();
  top_level_.clear();
  node_of_message_.clear();
  node_of_message_.shrink_to_fit();
  longest_text_by_depth_.clear();
}

void MessageTree::AppendText(TreeNodeId id, std::string& out) const {
  const Node& n = nodes_[static_cast<size_t>(id)];
  switch (n.kind) {
    case NodeKind::MailRoot: out.append(MailRootText()); return;
    case NodeKind::MessageRoot: out.append(MessageRootText()); return;
    default: break;
  }
  const MessageEntry& e = EntryAt(static_cast<size_t>(n.entry));
  char buffer[24];
  if (n.kind == NodeKind::Board) {
    out.append(BoardTypeText(e.board_type()))
        .append(NumberText(e.board_no(), buffer))
        .append(":")
        .append(e.BoardName());
    return;
  }
  // Written in place in one piece: appended field by field, each short copy
  // cost more than the rest of the line.
  const std::string& open = OpenBracket();
  const std::string& close = CloseBracket();
  const std::string_view handle = e.writer_handle.View();
  const std::string_view title = e.title.View();
  const size_t old = out.size();
  out.resize(old + kMessageLabelRoom + open.size() + handle.size() + close.size() + title.size());
  char* p = out.data() + old;
  if (n.kind == NodeKind::Message) p = PutMessageLabel(e.message_no, p);
  p = CopyBytes(open.data(), open.size(), p);
  p = CopyBytes(handle.data(), handle.size(), p);
  p = CopyBytes(close.data(), close.size(), p);
  p = CopyBytes(title.data(), title.size(), p);
  out.resize(static_cast<size_t>(p - out.data()));
}

void MessageTree::PrefetchEntry(TreeNodeId id) const {
  if (id < 0 || static_cast<size_t>(id) >= nodes_.size()) return;
  const int32_t entry = nodes_[static_cast<size_t>(id)].entry;
  if (entry < 0) return;
  const char* p = reinterpret_cast<const char*>(&EntryAt(static_cast<size_t>(entry)));
  __builtin_prefetch(p);
  __builtin_prefetch(p + sizeof(MessageEntry) - 1);
}

std::string MessageTree::Text(TreeNodeId id) const {
  std::string text;
  AppendText(id, text);
  return text;
}

size_t MessageTree::TextSizeOf(NodeKind kind, const MessageEntry* e) {
  switch (kind) {
    case NodeKind::MailRoot: return MailRootText().size();
    case NodeKind::MessageRoot: return MessageRootText().size();
    default: break;
  }
  char buffer[24];
  if (kind == NodeKind::Board) {
    return BoardTypeText(e->board_type()).size() + NumberText(e->board_no(), buffer).size() + 1 + e->BoardName().size();
  }
  size_t size = OpenBracket().size() + e->writer_handle.View().size() + CloseBracket().size() + e->title.View().size();
  if (kind == NodeKind::Message) {
    size += kMessagePrefix.size() + std::max(kNumberWidth, NumberText(e->message_no, buffer).size());
  }
  return size;
}

struct MessageTreeRest::Build {
  const MessageList* list = nullptr;
  size_t from = 0;  // the first list position of the rest
  TreeBuildOptions options;
  size_t first_nodes = 0;              // the first step's nodes
  TreeNodeId root = kNoNode;           // and its message root
  std::vector<uint64_t> first_boards;  // and boards
  // The whole tree but for the first step's nodes, whose places it keeps for
  // them; when `whole`, the whole tree built anew.
  MessageTree tree;
  bool whole = false;
  std::exception_ptr failure;
  bool started = false;
  std::atomic<bool> done{false};
  std::jthread thread;  // last: joined before the rest goes
};

// Builds the tree in the order entries are added, then renumbers the nodes in
// display order.
//
// Finding a reply's parent follows the window's depth-first search over the
// board's subtree: children in order; a child whose number (read back from its
// text: the message number, 0 for a missing one) equals the reply's ResToNo is
// recorded and ends the visit of its level; a child that does not match is
// searched below. The last match recorded wins. Worked out, that search gives:
// from the board down towards the last node carrying the number (in display
// order), the first level that has such a node among its children; there, the
// first of them. The builder keeps that answer per board and number as nodes
// are added, without walking the subtree:
// - `last`: the last node with the number in display order. A new node goes to
//   the end of its parent's subtree, so it becomes `last` unless the old one
//   lies after that subtree.
// - the levels (parents of nodes with the number) on the way down to `last`, as
//   a stack, shallowest first. When `last` moves, the levels below the branch
//   point are left for good: everything under them now lies before `last`, so
//   they can never lead to it again. The new node's parent is pushed.
// - the answer: the first child with the number of the shallowest level.
// Branch points are found with jump pointers (ancestors at skew-binary
// distances), so each step costs O(log n) and a board of n messages O(n log n),
// whatever the numbers.
//
// Memory: every (board, number) pair that some reply answers is given a slot
// before the tree is built, from the keys sorted once (a sorted list needs no
// sorting), so the per-number state is an array, and every entry knows its own
// slot and the slot its reply refers to. Nodes are built in the tree's own node
// records (a node's row among its siblings kept in subtree_end meanwhile) and
// moved to display order in place.
class MessageTreeBuilder {
 public:
  static MessageTree BuildAll(const MessageList& list, const TreeBuildOptions& options) {
    return BuildRange(list, 0, list.Size(), options);
  }

  // The mails and the first boards, and the rest's build started (see
  // BuildMessageTreeInSteps).
  static MessageTree BuildInSteps(const MessageList& list, std::unique_ptr<MessageTreeRest>& rest,
                                  const TreeBuildOptions& options) {
    rest.reset();
    const size_t n = list.Size();
    const size_t split = n >= options.parallel_from ? FirstStepEnd(list, options.first_step_nodes) : 0;
    if (split == 0) return BuildAll(list, options);
    MessageTreeBuilder first_builder;
    MessageTree first = first_builder.Build(list, 0, split);
    auto build = std::make_unique<MessageTreeRest::Build>();
    build->list = &list;
    build->from = split;
    build->options = options;
    build->first_nodes = first.Size();
    build->root = first.MessageRoot();
    for (const auto& board : first_builder.boards_) build->first_boards.push_back(board.first);
    rest.reset(new MessageTreeRest(std::move(build)));
    return first;
  }

  // Starts the rest's build on a thread of its own, once.
  static void StartRest(MessageTreeRest::Build& rest) {
    if (rest.started) return;
    rest.started = true;
    rest.thread = std::jthread([&rest] { BuildRest(rest); });
  }

  // Makes `tree` (the first step's) whole from the rest built.
  static bool CompleteTree(MessageTreeRest::Build& rest, MessageTree& tree) {
    if (!rest.started) {
      rest.started = true;
      BuildRest(rest);
    }
    if (rest.thread.joinable()) rest.thread.join();
    if (rest.failure) std::rethrow_exception(rest.failure);
    MessageTree& whole = rest.tree;
    if (rest.whole) {
      tree = std::move(whole);
      return false;
    }
    // The first step's nodes take their places, with the icons they have now.
    std::copy(tree.nodes_.begin(), tree.nodes_.end(), whole.nodes_.begin());
    whole.nodes_[static_cast<size_t>(rest.root)].subtree_end = static_cast<uint32_t>(whole.nodes_.size());
    std::copy(tree.node_of_message_.begin(), tree.node_of_message_.end(), whole.node_of_message_.begin());
    whole.top_level_ = tree.top_level_;
    MergeLongest(whole.longest_text_by_depth_, tree.longest_text_by_depth_);
    whole.messages_ = tree.messages_;
    tree = std::move(whole);
    return true;
  }

 private:
  // The tree of the list positions [begin, end), built in two parts on two
  // threads where there are enough of them.
  static MessageTree BuildRange(const MessageList& list, size_t begin, size_t end, const TreeBuildOptions& options) {
    const size_t split = end - begin >= std::max<size_t>(options.parallel_from, 2) ? SplitPoint(list, begin, end) : 0;
    if (split == 0) return MessageTreeBuilder().Build(list, begin, end);
    MessageTreeBuilder first_builder;
    MessageTreeBuilder second_builder;
    first_builder.room_after_ = end - split + 64;  // the second part's nodes join these
    MessageTree first;
    MessageTree second;
    RunBeside(
        [&] {
          first = first_builder.Build(list, begin, split);
          // The first part, with the mails, is mostly done first: meanwhile it
          // backs the room the second part's nodes are joined into, which the
          // join would otherwise fault in page by page on its own.
          first.node_of_message_.reserve(end - begin);
          FaultInPages(first.nodes_.data() + first.nodes_.size(), first.nodes_.data() + first.nodes_.capacity());
          FaultInPages(first.node_of_message_.data() + first.node_of_message_.size(),
                       first.node_of_message_.data() + first.node_of_message_.capacity());
        },
        [&] { second = second_builder.Build(list, split, end); });
    // A board on both sides, or a mail after the split, would be placed apart
    // from the rest of its kind: the whole range is built in one part then.
    bool apart = second_builder.has_mail_;
    for (const auto& board : second_builder.boards_) apart = apart || first_builder.boards_.count(board.first) != 0;
    if (apart) return MessageTreeBuilder().Build(list, begin, end);
    Join(first, second);
    return first;
  }

  // On the rest's own thread, while the window takes the other core: the
  // boards after the first step's, a few at a time, each few added to the
  // tree as soon as they are built. The build's scratch arrays are then those
  // of a few boards, not of the whole list: the window holds its own memory
  // by then.
  static void BuildRest(MessageTreeRest::Build& rest) {
    try {
      const size_t at_once = std::max<size_t>(rest.options.rest_step_nodes, 1);
      const MessageList& list = *rest.list;
      const size_t n = list.Size();
      MessageTree& tree = rest.tree;
      // At most a board node for every message: room that is not used is never touched.
      tree.nodes_.reserve(rest.first_nodes + 2 * (n - rest.from));
      tree.nodes_.resize(rest.first_nodes);
      tree.node_of_message_.reserve(n);
      tree.node_of_message_.resize(rest.from, kNoNode);
      std::unordered_set<uint64_t> boards(rest.first_boards.begin(), rest.first_boards.end());
      bool apart = false;
      for (size_t begin = rest.from; begin < n;) {
        size_t end = n;
        if (begin + at_once < n) end = BoardEndFrom(list, begin + at_once, n);
        if (end == 0) end = n;
        MessageTreeBuilder builder;
        const MessageTree part = builder.Build(list, begin, end);
        // A board built before, or a mail, would be placed apart from the rest of its kind.
        apart = builder.has_mail_;
        for (const auto& board : builder.boards_) apart = !boards.insert(board.first).second || apart;
        if (apart) break;
        Append(tree, part, rest.root);
        begin = end;
      }
      if (apart) {
        tree.Clear();
        tree = BuildRange(list, 0, n, rest.options);
        rest.whole = true;
      }
    } catch (...) {
      rest.failure = std::current_exception();
    }
#if defined(__GLIBC__)
    // The parts' scratch arrays, freed in the middle of the heap, go back to
    // the system here rather than on the window's thread.
    malloc_trim(0);
#endif
    rest.done.store(true, std::memory_order_release);
  }

 public:
  // The tree of the list positions [begin, end): roots, then the mails and
  // boards found there. Node and entry numbers are the whole list's.
  MessageTree Build(const MessageList& list, size_t begin, size_t end) {
    using Kind = MessageTree::NodeKind;
    const size_t n = end - begin;
    list_ = &list;
    begin_ = begin;
    end_ = end;
    AssignSlots();
    nodes_.reserve(n + boards_.size() + 2 + room_after_);
    jump_.reserve(n + boards_.size() + 2);
    child_count_.reserve(n + boards_.size() + 2);

    const TreeNodeId mail = AddNode(kNoNode, Kind::MailRoot, kIconMailRoot, -1);
    const TreeNodeId root = AddNode(kNoNode, Kind::MessageRoot, kIconMessageRoot, -1);

    // Neighbours mostly share their context: what it tells is looked up once per run.
    ContextId context = kNoContext;
    bool is_mail = false;
    bool is_new = false;
    int icon = 0;
    Board* board = nullptr;
    for (size_t i = 0; i < n; ++i) {
      PrefetchAhead(begin + i, sizeof(MessageEntry));  // the texts' sizes too (AddNode)
      const MessageEntry& e = At(begin + i);
      const int32_t index = static_cast<int32_t>(begin + i);
      if (i == 0 || e.context != context) {
        context = e.context;
        const EntryContext& c = e.Context();
        is_mail = c.board_type == BoardType::MAIL;
        is_new = c.kind == MessageKind::New;
        icon = IconForMark(e.Mark());
        board = is_mail ? nullptr : &BoardOf(c);
      }
      if (is_mail) {
        AddNode(mail, Kind::Mail, kIconMail, index);
        has_mail_ = true;
        continue;
      }
      TreeNodeId parent = board->node;
      if (parent == kNoNode) {
        parent = board->node = AddNode(root, Kind::Board, kIconBoard, index);
      } else if (!is_new && reply_slot_[i] >= 0) {
        const TreeNodeId found = numbers_[static_cast<size_t>(reply_slot_[i])].answer;
        if (found != kNoNode) parent = found;
      }
      const TreeNodeId node = AddNode(parent, Kind::Message, icon, index);
      if (own_slot_[i] >= 0) NodeWithNumberAdded(numbers_[static_cast<size_t>(own_slot_[i])], node);
    }
    // The search state is not needed to lay the tree out: give its memory back
    // before the final arrays are made.
    HugeVector<NumberState>().swap(numbers_);
    HugeVector<Level>().swap(levels_);
    HugeVector<int32_t>().swap(own_slot_);
    HugeVector<int32_t>().swap(reply_slot_);
    MessageTree tree = Finish();
    tree.messages_ = &list;
    return tree;
  }

 private:
  using Node = MessageTree::Node;
  static_assert(sizeof(Node) == 16, "a node per message: keep it compact");
  const MessageEntry& At(size_t p) const { return (*list_)[p]; }
  // The builder goes through the list in its order, which jumps about the
  // entries as they were read: the entry kPrefetchAhead positions on is
  // fetched meanwhile (its first `bytes`).
  static constexpr size_t kPrefetchAhead = 16;
  void PrefetchAhead(size_t p, size_t bytes) const {
    if (p + kPrefetchAhead >= end_) return;
    const char* e = reinterpret_cast<const char*>(&At(p + kPrefetchAhead));
    __builtin_prefetch(e);
    __builtin_prefetch(e + bytes - 1);
  }
  struct Board {
    uint32_t ordinal;
    TreeNodeId node;  // kNoNode until its first message is added
  };
  // One level of a number's stack: a parent of nodes with the number.
  struct Level {
    TreeNodeId parent;
    int32_t shallower;  // the level above in the stack, -1 at the bottom
  };
  struct NumberState {
    TreeNodeId last = kNoNode;  // the last node with the number in display order
    int32_t top = -1;           // the deepest level, into levels_
    TreeNodeId answer = kNoNode;
  };
  struct Keyed {
    uint64_t key;
    uint32_t entry;
  };

  static uint64_t NumberKey(uint32_t board_ordinal, int32_t number) {
    return (static_cast<uint64_t>(board_ordinal) << 32) | static_cast<uint32_t>(number);
  }

  // The board of entry `e`, numbered in order of first appearance. Entries of
  // a board mostly follow one another: the last one found is tried first.
  Board& BoardOf(const EntryContext& c) {
    const uint64_t key = BoardKey(c);
    if (last_board_ != nullptr && key == last_board_key_) return *last_board_;
    auto it = boards_.find(key);
    if (it == boards_.end()) {
      it = boards_.emplace(key, Board{static_cast<uint32_t>(boards_.size()), kNoNode}).first;
    }
    last_board_key_ = key;
    last_board_ = &it->second;  // node-based map: stays valid as boards are added
    return *last_board_;
  }

  // Gives every distinct (board, number read back) of the board messages a
  // slot, its place among them sorted, and finds for each reply the slot of
  // the number it answers (-1: no message carries it).
  void AssignSlots() {
    const size_t n = end_ - begin_;
    HugeVector<Keyed> keyed;
    keyed.reserve(n);
    reply_slot_.assign(n, -1);
    ContextId context = kNoContext;
    bool is_mail = false;
    uint32_t ordinal = 0;
    for (size_t i = 0; i < n; ++i) {
      PrefetchAhead(begin_ + i, offsetof(MessageEntry, context) + sizeof(ContextId));
      const MessageEntry& e = At(begin_ + i);
      if (i == 0 || e.context != context) {
        context = e.context;
        const EntryContext& c = e.Context();
        is_mail = c.board_type == BoardType::MAIL;
        if (!is_mail) ordinal = BoardOf(c).ordinal;
      }
      if (is_mail) continue;
      // The number the search reads back from the text: "000-1" reads as 0.
      const int32_t read_back = e.message_no < 0 ? 0 : e.message_no;
      keyed.push_back(Keyed{NumberKey(ordinal, read_back), static_cast<uint32_t>(i)});
      // Replies only: no node reads back a negative number. The number
      // answered waits here for its slot, so that the entries are read once.
      if (e.res_to_no >= 0 && e.kind() != MessageKind::New) reply_slot_[i] = e.res_to_no;
    }
    const auto by_key = [](const Keyed& a, const Keyed& b) { return a.key < b.key; };
    if (!std::is_sorted(keyed.begin(), keyed.end(), by_key)) std::sort(keyed.begin(), keyed.end(), by_key);
    own_slot_.assign(n, -1);
    // The distinct keys are gathered at the front, in place.
    size_t slots = 0;
    for (size_t k = 0; k < keyed.size(); ++k) {
      if (slots == 0 || keyed[k].key != keyed[slots - 1].key) keyed[slots++].key = keyed[k].key;
      own_slot_[keyed[k].entry] = static_cast<int32_t>(slots - 1);
    }
    const std::span<const Keyed> keys(keyed.data(), slots);
    BoardNumbers board_numbers(keys);
    for (size_t i = 0; i < n; ++i) {
      if (reply_slot_[i] < 0) continue;
      reply_slot_[i] = board_numbers.SlotOf(static_cast<size_t>(own_slot_[i]), reply_slot_[i]);
    }
    // Only the numbers some reply answers need a search state: the others are
    // given none, and the slots are renumbered over those that do (the spare
    // `entry` fields of the distinct keys hold the new numbers meanwhile).
    constexpr uint32_t kUnanswered = UINT32_MAX;
    for (size_t k = 0; k < slots; ++k) keyed[k].entry = kUnanswered;
    uint32_t answered = 0;
    for (int32_t& slot : reply_slot_) {
      if (slot < 0) continue;
      uint32_t& renumbered = keyed[static_cast<size_t>(slot)].entry;
      if (renumbered == kUnanswered) renumbered = answered++;
      slot = static_cast<int32_t>(renumbered);
    }
    for (int32_t& slot : own_slot_) {
      if (slot < 0) continue;
      const uint32_t renumbered = keyed[static_cast<size_t>(slot)].entry;
      slot = renumbered == kUnanswered ? -1 : static_cast<int32_t>(renumbered);
    }
    const size_t messages = keyed.size();
    HugeVector<Keyed>().swap(keyed);
    numbers_.assign(answered, NumberState{});
    levels_.reserve(messages);  // at most one level per message: no regrowing on the way
  }

  // The slots of the numbers of one board at a time, for finding the slot of
  // the number a reply answers: the replies come board by board, and a board's
  // numbers mostly run without big gaps, so a table indexed by the number
  // answers at once where a search over all the keys took a few cache misses.
  // A board whose numbers are too sparse for a table, or boards that keep
  // coming back (two boards of one list number, sorted into each other), are
  // searched instead.
  class BoardNumbers {
   public:
    explicit BoardNumbers(std::span<const Keyed> keys) : keys_(keys) {}

    // The slot of `number` in the board of slot `from`; -1 when no message of
    // the board carries it.
    int32_t SlotOf(size_t from, int32_t number) {
      if (from < begin_ || from >= end_) {
        // Boards that keep coming back are searched from then on.
        if (loaded_ > 2 * keys_.size()) return Search(from, number);
        Load(from);
      }
      if (table_.empty()) return Search(from, number);
      if (number < first_ || number - first_ >= static_cast<int64_t>(table_.size())) return -1;
      return table_[static_cast<size_t>(number - first_)];
    }

   private:
    int32_t Search(size_t from, int32_t number) const {
      return FindKey(keys_, from, NumberKey(static_cast<uint32_t>(keys_[from].key >> 32), number));
    }

    // Finds the slots of the board of slot `from` and tables their numbers if
    // they are dense enough.
    void Load(size_t from) {
      const auto board = static_cast<uint32_t>(keys_[from].key >> 32);
      begin_ = from;
      end_ = from + 1;
      while (begin_ > 0 && static_cast<uint32_t>(keys_[begin_ - 1].key >> 32) == board) --begin_;
      while (end_ < keys_.size() && static_cast<uint32_t>(keys_[end_].key >> 32) == board) ++end_;
      table_.clear();
      loaded_ += end_ - begin_;
      first_ = static_cast<int32_t>(keys_[begin_].key);
      const int64_t span = static_cast<int64_t>(static_cast<int32_t>(keys_[end_ - 1].key)) - first_ + 1;
      if (span > static_cast<int64_t>(4 * (end_ - begin_) + 64)) return;  // too sparse
      table_.assign(static_cast<size_t>(span), -1);
      for (size_t k = begin_; k < end_; ++k) {
        table_[static_cast<size_t>(static_cast<int32_t>(keys_[k].key) - first_)] = static_cast<int32_t>(k);
      }
    }

    std::span<const Keyed> keys_;
    size_t begin_ = 0;  // the slots of the board loaded
    size_t end_ = 0;
    size_t loaded_ = 0;  // slots gone over by all loads
    int32_t first_ = 0;  // the board's smallest number, at table_[0]
    std::vector<int32_t> table_;
  };

  // The position of `key` in the sorted `keys`, searched outwards from
  // position `from` (a reply mostly answers a number close to its own); -1
  // when it is not there.
  static int32_t FindKey(std::span<const Keyed> keys, size_t from, uint64_t key) {
    size_t lo = 0;
    size_t hi = keys.size();
    if (keys[from].key == key) return static_cast<int32_t>(from);
    size_t step = 1;
    if (key < keys[from].key) {
      hi = from;  // keys[hi] > key
      while (step <= hi && keys[hi - step].key > key) {
        hi -= step;
        step *= 2;
      }
      lo = step <= hi ? hi - step : 0;
    } else {
      lo = from + 1;  // keys[lo - 1] < key
      while (lo + step - 1 < keys.size() && keys[lo + step - 1].key < key) {
        lo += step;
        step *= 2;
      }
      hi = std::min(keys.size(), lo + step);
    }
    const std::span<const Keyed> range = keys.subspan(lo, hi - lo);
    const auto it =
        std::lower_bound(range.begin(), range.end(), key, [](const Keyed& a, uint64_t b) { return a.key < b; });
    if (it == range.end() || it->key != key) return -1;
    return static_cast<int32_t>(lo + static_cast<size_t>(it - range.begin()));
  }

  TreeNodeId AddNode(TreeNodeId parent, MessageTree::NodeKind kind, int icon, int32_t entry) {
    Node b;
    b.entry = entry;
    b.kind = kind;
    b.parent = parent;
    b.icon = static_cast<uint8_t>(icon) & 15u;
    const auto id = static_cast<TreeNodeId>(nodes_.size());
    TreeNodeId jump = id;
    if (parent == kNoNode) {
      b.subtree_end = static_cast<uint32_t>(top_level_.size());  // the row
      top_level_.push_back(id);
    } else {
      // A reply chain deeper than a node can record goes on beside its parent.
      if (nodes_[static_cast<size_t>(parent)].depth == MessageTree::kMaxDepth) {
        parent = b.parent = nodes_[static_cast<size_t>(parent)].parent;
      }
      Node& p = nodes_[static_cast<size_t>(parent)];
      b.subtree_end = child_count_[static_cast<size_t>(parent)]++;  // the row
      b.depth = (p.depth + 1) & MessageTree::kMaxDepth;             // below kMaxDepth + 1: see above
      // Skew-binary jumps: two equal jumps above the parent merge into one.
      const TreeNodeId j = Jump(parent);
      jump = Depth(parent) - Depth(j) == Depth(j) - Depth(Jump(j)) ? Jump(j) : parent;
    }
    // The entry is at hand here, in list order: its text's size is cheap now.
    const auto depth = static_cast<size_t>(b.depth);
    if (longest_.size() <= depth) longest_.resize(depth + 1, 0);
    const size_t size = MessageTree::TextSizeOf(kind, entry < 0 ? nullptr : &At(static_cast<size_t>(entry)));
    longest_[depth] = std::max(longest_[depth], static_cast<uint32_t>(size));
    Append(nodes_, b);
    jump_.push_back(jump);
    child_count_.push_back(0);
    return id;
  }

  // Appends `node` with whole-word stores. A plain push_back copies the
  // bit-fields by reading the word they share at the new place first: on a page
  // not touched yet that read maps the zero page and the write then faults a
  // second time, and with two threads running each such fault flushes the other
  // core's address cache (7.5 MB of nodes: 1,900 faults, 8% of `tree`).
  static void Append(HugeVector<Node>& nodes, const Node& node) {
    std::memcpy(&nodes.emplace_back(), &node, sizeof(Node));
  }

  int32_t Depth(TreeNodeId id) const { return static_cast<int32_t>(nodes_[static_cast<size_t>(id)].depth); }
  TreeNodeId Parent(TreeNodeId id) const { return nodes_[static_cast<size_t>(id)].parent; }
  TreeNodeId Jump(TreeNodeId id) const { return jump_[static_cast<size_t>(id)]; }
  uint32_t RowOf(TreeNodeId id) const { return nodes_[static_cast<size_t>(id)].subtree_end; }

  // The ancestor of `id` at `depth` (at most the depth of `id`).
  TreeNodeId AncestorAt(TreeNodeId id, int32_t depth) const {
    while (Depth(id) > depth) id = Depth(Jump(id)) >= depth ? Jump(id) : Parent(id);
    return id;
  }

  // The deepest common ancestor (a and b in one top-level subtree).
  TreeNodeId CommonAncestor(TreeNodeId a, TreeNodeId b) const {
    if (Depth(a) > Depth(b)) {
      a = AncestorAt(a, Depth(b));
    } else {
      b = AncestorAt(b, Depth(a));
    }
    // Jumps depend on the depth only, so a and b jump alike.
    while (a != b) {
      if (Jump(a) != Jump(b)) {
        a = Jump(a);
        b = Jump(b);
      } else {
        a = Parent(a);
        b = Parent(b);
      }
    }
    return a;
  }

  void NodeWithNumberAdded(NumberState& s, TreeNodeId node) {
    const TreeNodeId parent = Parent(node);
    if (s.last != kNoNode) {
      const TreeNodeId branch = CommonAncestor(parent, s.last);
      if (branch != parent && branch != s.last) {
        // Side by side below the branch point: the node comes after the last
        // one only when its parent's subtree does.
        const int32_t below = Depth(branch) + 1;
        if (RowOf(AncestorAt(parent, below)) < RowOf(AncestorAt(s.last, below))) return;
      }
      while (s.top >= 0 && Depth(levels_[static_cast<size_t>(s.top)].parent) > Depth(branch)) {
        s.top = levels_[static_cast<size_t>(s.top)].shallower;
      }
    }
    s.last = node;
    if (s.top >= 0 && levels_[static_cast<size_t>(s.top)].parent == parent) return;
    if (s.top < 0) s.answer = node;
    levels_.push_back(Level{parent, s.top});
    s.top = static_cast<int32_t>(levels_.size() - 1);
  }

  // Moves the nodes to display order: a node's place is its parent's place +
  // 1 + the sizes of the subtrees of the siblings before it. Children follow
  // their parent in the build order, so sizes are summed backwards and places
  // handed out forwards.
  MessageTree Finish() {
    MessageTree tree;
    const size_t count = nodes_.size();
    HugeVector<uint32_t>().swap(child_count_);  // the rows are not needed any more
    // Subtree sizes, then (once a node is placed) the place of its next child.
    HugeVector<int32_t>& next = jump_;
    std::fill(next.begin(), next.end(), 1);
    for (size_t id = count; id-- > 0;) {
      if (nodes_[id].parent != kNoNode) next[static_cast<size_t>(nodes_[id].parent)] += next[id];
    }
    HugeVector<TreeNodeId> place(count);
    node_of_entry_.assign(end_ - begin_, kNoNode);
    TreeNodeId top_place = 0;
    for (size_t id = 0; id < count; ++id) {
      Node& b = nodes_[id];
      TreeNodeId& slot = b.parent == kNoNode ? top_place : next[static_cast<size_t>(b.parent)];
      place[id] = slot;
      slot += next[id];
      b.subtree_end = static_cast<uint32_t>(place[id] + next[id]);
      next[id] = place[id] + 1;
      if (b.parent != kNoNode) b.parent = place[static_cast<size_t>(b.parent)];
      if (b.kind == MessageTree::NodeKind::Mail || b.kind == MessageTree::NodeKind::Message) {
        node_of_entry_[static_cast<size_t>(b.entry) - begin_] = place[id];
      }
    }
    HugeVector<int32_t>().swap(jump_);
    for (const TreeNodeId id : top_level_) tree.top_level_.push_back(place[static_cast<size_t>(id)]);
    // Permuted in place, cycle by cycle.
    for (size_t id = 0; id < count; ++id) {
      while (place[id] != static_cast<TreeNodeId>(id)) {
        const auto to = static_cast<size_t>(place[id]);
        std::swap(nodes_[id], nodes_[to]);
        std::swap(place[id], place[to]);
      }
    }
    HugeVector<TreeNodeId>().swap(place);
    tree.nodes_ = std::move(nodes_);
    tree.node_of_message_ = std::move(node_of_entry_);
    tree.longest_text_by_depth_ = std::move(longest_);
    return tree;
  }

  static uint64_t BoardKey(const EntryContext& c) {
    return (static_cast<uint64_t>(c.board_type) << 32) | static_cast<uint32_t>(c.board_no);
  }

  // The first position of a board from the middle of the positions [begin,
  // end) on; 0 when the second half holds one board only. The mails, which
  // come first in a sorted list, cost a third of a board message or so: the
  // first half of a whole list takes a quarter of them more.
  static size_t SplitPoint(const MessageList& list, size_t begin, size_t end) {
    const size_t mails = begin == 0 ? MailsFirst(list, end / 2) : 0;
    return BoardEndFrom(list, begin + (end - begin) / 2 + mails / 4, end);
  }

  // The mails at the start of a sorted list, up to `limit`, found by halving.
  static size_t MailsFirst(const MessageList& list, size_t limit) {
    size_t mails = 0;
    for (size_t step = size_t{1} << 40; step > 0; step /= 2) {
      if (mails + step <= limit && list[mails + step - 1].IsMail()) mails += step;
    }
    return mails;
  }

  // The end of the first step of a tree in steps: the board that holds the
  // first `first_nodes` board messages ends there; 0 when it is the last.
  static size_t FirstStepEnd(const MessageList& list, size_t first_nodes) {
    const size_t n = list.Size();
    const size_t mails = MailsFirst(list, n);
    if (mails + std::max<size_t>(first_nodes, 1) >= n) return 0;
    return BoardEndFrom(list, mails + std::max<size_t>(first_nodes, 1), n);
  }

  // The first position from `split` on (up to `end`) where the board of the
  // position before it ends; 0 when it lasts to `end`.
  static size_t BoardEndFrom(const MessageList& list, size_t split, size_t end) {
    const uint64_t board = BoardKey(list[split - 1].Context());
    while (split < end && BoardKey(list[split].Context()) == board) ++split;
    return split < end ? split : 0;
  }

  // Puts the boards of `second` (built from the positions after those of
  // `first`) after those of `first`, below its message root. `second` holds no
  // mail: its two roots are nodes 0 and 1.
  static void Join(MessageTree& first, const MessageTree& second) {
    const TreeNodeId root = first.MessageRoot();
    Append(first, second, root);
    first.nodes_[static_cast<size_t>(root)].subtree_end = static_cast<uint32_t>(first.nodes_.size());
  }

  // Puts the boards of `part` after the nodes of `tree`, below its node
  // `root`; the root's subtree end is left to the caller. `part` holds no mail.
  static void Append(MessageTree& tree, const MessageTree& part, TreeNodeId root) {
    const auto shift = static_cast<TreeNodeId>(tree.nodes_.size()) - 2;
    for (size_t id = 2; id < part.nodes_.size(); ++id) {
      Node node = part.nodes_[id];
      node.parent = node.parent == 1 ? root : node.parent + shift;
      node.subtree_end += static_cast<uint32_t>(shift);
      Append(tree.nodes_, node);
    }
    for (const TreeNodeId node : part.node_of_message_) {
      tree.node_of_message_.push_back(node == kNoNode ? kNoNode : node + shift);
    }
    MergeLongest(tree.longest_text_by_depth_, part.longest_text_by_depth_);
  }

  static void MergeLongest(std::vector<uint32_t>& longest, const std::vector<uint32_t>& other) {
    if (longest.size() < other.size()) longest.resize(other.size(), 0);
    for (size_t depth = 0; depth < other.size(); ++depth) longest[depth] = std::max(longest[depth], other[depth]);
  }

  const MessageList* list_ = nullptr;
  size_t room_after_ = 0;  // nodes to make room for beyond this part's
  size_t begin_ = 0;       // the list positions built
  size_t end_ = 0;
  bool has_mail_ = false;
  HugeVector<Node> nodes_;            // in build order until Finish
  HugeVector<TreeNodeId> jump_;       // per node: an ancestor (itself for a top-level node), for ancestor searches
  HugeVector<uint32_t> child_count_;  // per node: its children so far
  std::vector<uint32_t> longest_;     // LongestTextByDepth
  std::vector<TreeNodeId> top_level_;
  HugeVector<TreeNodeId> node_of_entry_;  // the tree's node of each entry, set by Finish
  std::unordered_map<uint64_t, Board> boards_;
  uint64_t last_board_key_ = 0;
  Board* last_board_ = nullptr;
  HugeVector<int32_t> own_slot_;     // per entry: the slot of its own number, -1 when no reply answers it
  HugeVector<int32_t> reply_slot_;   // per entry: the slot of the number it answers, -1 none
  HugeVector<NumberState> numbers_;  // per slot (numbers some reply answers)
  HugeVector<Level> levels_;
};

MessageTree BuildMessageTree(const MessageList& messages, const TreeBuildOptions& options) {
  return MessageTreeBuilder::BuildAll(messages, options);
}

MessageTreeRest::MessageTreeRest(std::unique_ptr<Build> build) : build_(std::move(build)) {}

MessageTreeRest::~MessageTreeRest() = default;

void MessageTreeRest::Start() { MessageTreeBuilder::StartRest(*build_); }

bool MessageTreeRest::Ready() const { return build_->done.load(std::memory_order_acquire); }

bool MessageTreeRest::Complete(MessageTree& tree) { return MessageTreeBuilder::CompleteTree(*build_, tree); }

MessageTree BuildMessageTreeInSteps(const MessageList& messages, std::unique_ptr<MessageTreeRest>& rest,
                                    const TreeBuildOptions& options) {
  return MessageTreeBuilder::BuildInSteps(messages, rest, options);
}

}  // namespace tobrisk
