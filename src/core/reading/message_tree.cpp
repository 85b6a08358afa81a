#include "core/reading/message_tree.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "core/reading/message_entry.h"
#include "core/reading/read_marks.h"
#include "core/text/bytes.h"
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

// Decimal text of a number (as DecimalText) without allocating.
std::string_view NumberText(int32_t value, char (&buffer)[16]) {
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string_view(buffer, static_cast<size_t>(result.ptr - buffer));
}

// The number of a message node: the message number filled with "0" to 5 bytes.
constexpr size_t kNumberWidth = 5;
constexpr std::string_view kMessagePrefix = "#Fc.";

}  // namespace

void MessageTree::Clear() {
  messages_ = nullptr;
  nodes_.clear();
  nodes_.shrink_to_fit();
  children_.clear();
  children_.shrink_to_fit();
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
  const MessageEntry& e = (*messages_)[static_cast<size_t>(n.entry)];
  char buffer[16];
  if (n.kind == NodeKind::Board) {
    out.append(BoardTypeText(e.board_type())).append(NumberText(e.board_no(), buffer)).append(":").append(e.BoardName());
    return;
  }
  if (n.kind == NodeKind::Message) {
    const std::string_view number = NumberText(e.message_no, buffer);
    out.append(kMessagePrefix);
    if (number.size() < kNumberWidth) out.append(kNumberWidth - number.size(), '0');
    out.append(number);
  }
  out.append(OpenBracket()).append(e.writer_handle.View()).append(CloseBracket()).append(e.title.View());
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
  char buffer[16];
  if (kind == NodeKind::Board) {
    return BoardTypeText(e->board_type()).size() + NumberText(e->board_no(), buffer).size() + 1 + e->BoardName().size();
  }
  size_t size = OpenBracket().size() + e->writer_handle.View().size() + CloseBracket().size() + e->title.View().size();
  if (kind == NodeKind::Message) {
    size += kMessagePrefix.size() + std::max(kNumberWidth, NumberText(e->message_no, buffer).size());
  }
  return size;
}

int32_t MessageTree::Row(TreeNodeId id) const {
  const TreeNodeId parent = Parent(id);
  // Siblings are numbered in display order, so they are sorted.
  const std::span<const TreeNodeId> siblings = parent == kNoNode ? TopLevel() : Children(parent);
  return static_cast<int32_t>(std::lower_bound(siblings.begin(), siblings.end(), id) - siblings.begin());
}

// Builds the tree in the order entries are added (children linked in order),
// then renumbers the nodes in display order.
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
class MessageTreeBuilder {
 public:
  MessageTree Build(const MessageList& list) {
    using Kind = MessageTree::NodeKind;
    const size_t n = list.Size();
    list_ = &list;
    nodes_.reserve(n + 64);
    // At most one number and one level per message: no rehashing or regrowing on the way.
    numbers_.reserve(n);
    levels_.reserve(n);
    node_of_entry_.assign(n, kNoNode);

    const TreeNodeId mail = AddNode(kNoNode, Kind::MailRoot, kIconMailRoot, -1);
    const TreeNodeId root = AddNode(kNoNode, Kind::MessageRoot, kIconMessageRoot, -1);

    for (size_t i = 0; i < n; ++i) {
      const MessageEntry& e = list[i];
      const int32_t index = static_cast<int32_t>(i);
      if (e.IsMail()) {
        AddNode(mail, Kind::Mail, kIconMail, index);
        continue;
      }
      const uint64_t board_key = (static_cast<uint64_t>(e.board_type()) << 32) | static_cast<uint32_t>(e.board_no());
      auto board = boards_.find(board_key);
      TreeNodeId parent;
      uint32_t board_ordinal;
      if (board == boards_.end()) {
        parent = AddNode(root, Kind::Board, kIconBoard, index);
        board_ordinal = static_cast<uint32_t>(boards_.size());
        boards_.emplace(board_key, Board{parent, board_ordinal});
      } else {
        board_ordinal = board->second.ordinal;
        parent = board->second.node;
        if (e.kind() != MessageKind::New) {
          const TreeNodeId found = ReplyParent(board_ordinal, e.res_to_no);
          if (found != kNoNode) parent = found;
        }
      }
      const TreeNodeId node = AddNode(parent, Kind::Message, IconForMark(e.Mark()), index);
      // The number the search reads back from the text: "000-1" reads as 0.
      const int32_t read_back = e.message_no < 0 ? 0 : e.message_no;
      NodeWithNumberAdded(numbers_[NumberKey(board_ordinal, read_back)], node);
    }
    // The search state is not needed to lay the tree out: give its memory back
    // before the final arrays are made.
    std::unordered_map<uint64_t, NumberState>().swap(numbers_);
    std::unordered_map<uint64_t, Board>().swap(boards_);
    std::vector<Level>().swap(levels_);
    MessageTree tree = Finish();
    tree.messages_ = &list;
    return tree;
  }

 private:
  struct BuildNode {
    int32_t entry;
    TreeNodeId parent;
    TreeNodeId jump;  // an ancestor (itself for a top-level node), for ancestor searches
    TreeNodeId first_child = kNoNode;
    TreeNodeId last_child = kNoNode;
    TreeNodeId next_sibling = kNoNode;
    int32_t row = 0;
    int32_t depth = 0;
    uint32_t child_count = 0;
    MessageTree::NodeKind kind;
    uint8_t icon;
  };
  struct Board {
    TreeNodeId node;
    uint32_t ordinal;
  };
  // One level of a number's stack: a parent of nodes with the number.
  struct Level {
    TreeNodeId parent;
    TreeNodeId first;   // its first child with the number
    int32_t shallower;  // the level above in the stack, -1 at the bottom
  };
  struct NumberState {
    TreeNodeId last = kNoNode;  // the last node with the number in display order
    int32_t top = -1;           // the deepest level, into levels_
    TreeNodeId answer = kNoNode;
  };

  static uint64_t NumberKey(uint32_t board_ordinal, int32_t number) {
    return (static_cast<uint64_t>(board_ordinal) << 32) | static_cast<uint32_t>(number);
  }

  TreeNodeId AddNode(TreeNodeId parent, MessageTree::NodeKind kind, int icon, int32_t entry) {
    BuildNode b;
    b.entry = entry;
    b.kind = kind;
    b.parent = parent;
    b.icon = static_cast<uint8_t>(icon);
    const auto id = static_cast<TreeNodeId>(nodes_.size());
    if (parent == kNoNode) {
      b.row = static_cast<int32_t>(top_level_.size());
      b.jump = id;
      top_level_.push_back(id);
    } else {
      BuildNode& p = nodes_[static_cast<size_t>(parent)];
      b.row = static_cast<int32_t>(p.child_count++);
      b.depth = p.depth + 1;
      if (p.last_child == kNoNode) {
        p.first_child = id;
      } else {
        nodes_[static_cast<size_t>(p.last_child)].next_sibling = id;
      }
      p.last_child = id;
      // Skew-binary jumps: two equal jumps above the parent merge into one.
      const BuildNode& j = N(p.jump);
      b.jump = p.depth - j.depth == j.depth - N(j.jump).depth ? j.jump : parent;
    }
    // The entry is at hand here, in list order: its text's size is cheap now.
    const auto depth = static_cast<size_t>(b.depth);
    if (longest_.size() <= depth) longest_.resize(depth + 1, 0);
    const size_t size = MessageTree::TextSizeOf(kind, entry < 0 ? nullptr : &(*list_)[static_cast<size_t>(entry)]);
    longest_[depth] = std::max(longest_[depth], static_cast<uint32_t>(size));
    nodes_.push_back(b);
    return id;
  }

  const BuildNode& N(TreeNodeId id) const { return nodes_[static_cast<size_t>(id)]; }

  // The ancestor of `id` at `depth` (at most the depth of `id`).
  TreeNodeId AncestorAt(TreeNodeId id, int32_t depth) const {
    while (N(id).depth > depth) id = N(N(id).jump).depth >= depth ? N(id).jump : N(id).parent;
    return id;
  }

  // The deepest common ancestor (a and b in one top-level subtree).
  TreeNodeId CommonAncestor(TreeNodeId a, TreeNodeId b) const {
    if (N(a).depth > N(b).depth) {
      a = AncestorAt(a, N(b).depth);
    } else {
      b = AncestorAt(b, N(a).depth);
    }
    // Jumps depend on the depth only, so a and b jump alike.
    while (a != b) {
      if (N(a).jump != N(b).jump) {
        a = N(a).jump;
        b = N(b).jump;
      } else {
        a = N(a).parent;
        b = N(b).parent;
      }
    }
    return a;
  }

  void NodeWithNumberAdded(NumberState& s, TreeNodeId node) {
    const TreeNodeId parent = N(node).parent;
    if (s.last != kNoNode) {
      const TreeNodeId branch = CommonAncestor(parent, s.last);
      if (branch != parent && branch != s.last) {
        // Side by side below the branch point: the node comes after the last
        // one only when its parent's subtree does.
        const int32_t below = N(branch).depth + 1;
        if (N(AncestorAt(parent, below)).row < N(AncestorAt(s.last, below)).row) return;
      }
      while (s.top >= 0 && N(levels_[static_cast<size_t>(s.top)].parent).depth > N(branch).depth) {
        s.top = levels_[static_cast<size_t>(s.top)].shallower;
      }
    }
    s.last = node;
    if (s.top >= 0 && levels_[static_cast<size_t>(s.top)].parent == parent) return;
    if (s.top < 0) s.answer = node;
    levels_.push_back(Level{parent, node, s.top});
    s.top = static_cast<int32_t>(levels_.size() - 1);
  }

  TreeNodeId ReplyParent(uint32_t board_ordinal, int32_t res_to_no) const {
    if (res_to_no < 0) return kNoNode;  // no node reads back a negative number
    const auto it = numbers_.find(NumberKey(board_ordinal, res_to_no));
    return it == numbers_.end() ? kNoNode : it->second.answer;
  }

  // Lays the nodes out in display order in one depth-first walk: a node's new
  // id is the count of nodes visited before it, its parent's is known, and its
  // place among the parent's children is its row.
  MessageTree Finish() {
    MessageTree tree;
    const size_t count = nodes_.size();
    tree.nodes_.resize(count);
    tree.children_.resize(count - top_level_.size());
    struct Pending {
      TreeNodeId node;    // in nodes_
      TreeNodeId parent;  // its parent's id in the tree
    };
    std::vector<Pending> stack;
    for (auto it = top_level_.rbegin(); it != top_level_.rend(); ++it) stack.push_back(Pending{*it, kNoNode});
    uint32_t children_used = 0;
    TreeNodeId next = 0;
    while (!stack.empty()) {
      const Pending p = stack.back();
      stack.pop_back();
      const TreeNodeId id = next++;
      const BuildNode& b = N(p.node);
      MessageTree::Node& t = tree.nodes_[static_cast<size_t>(id)];
      t.entry = b.entry;
      t.kind = b.kind;
      t.parent = p.parent;
      t.depth = b.depth;
      t.icon = b.icon;
      t.first_child = children_used;
      t.child_count = b.child_count;
      children_used += b.child_count;
      if (p.parent == kNoNode) {
        tree.top_level_.push_back(id);
      } else {
        tree.children_[tree.nodes_[static_cast<size_t>(p.parent)].first_child + static_cast<uint32_t>(b.row)] = id;
      }
      if (b.kind == MessageTree::NodeKind::Mail || b.kind == MessageTree::NodeKind::Message) {
        node_of_entry_[static_cast<size_t>(b.entry)] = id;  // from here on: the id in the tree
      }
      const size_t mark = stack.size();
      for (TreeNodeId c = b.first_child; c != kNoNode; c = N(c).next_sibling) stack.push_back(Pending{c, id});
      std::reverse(stack.begin() + static_cast<ptrdiff_t>(mark), stack.end());
    }
    tree.node_of_message_ = std::move(node_of_entry_);
    tree.longest_text_by_depth_ = std::move(longest_);
    return tree;
  }

  const MessageList* list_ = nullptr;
  std::vector<BuildNode> nodes_;
  std::vector<uint32_t> longest_;  // LongestTextByDepth
  std::vector<TreeNodeId> top_level_;
  std::vector<TreeNodeId> node_of_entry_;  // the tree's node of each entry, set by Finish
  std::unordered_map<uint64_t, Board> boards_;
  std::unordered_map<uint64_t, NumberState> numbers_;
  std::vector<Level> levels_;
};

MessageTree BuildMessageTree(const MessageList& messages) { return MessageTreeBuilder().Build(messages); }

}  // namespace tobrisk
