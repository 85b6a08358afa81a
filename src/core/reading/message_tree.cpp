#include "core/reading/message_tree.h"

#include <algorithm>
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

void MessageTree::Clear() {
  nodes_.clear();
  nodes_.shrink_to_fit();
  children_.clear();
  children_.shrink_to_fit();
  top_level_.clear();
  node_of_message_.clear();
  node_of_message_.shrink_to_fit();
  texts_.clear();
  texts_.shrink_to_fit();
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
    const size_t n = list.Size();
    nodes_.reserve(n + 64);
    texts_.reserve(n * 48);
    node_of_entry_.assign(n, kNoNode);

    static const std::string mail_root = Sjis("『新着メール』");
    static const std::string message_root = Sjis("『新着メッセージ』");
    const TreeNodeId mail = AddNode(kNoNode, mail_root, kIconMailRoot, -1);
    const TreeNodeId root = AddNode(kNoNode, message_root, kIconMessageRoot, -1);

    for (size_t i = 0; i < n; ++i) {
      const MessageEntry& e = list[i];
      const int32_t index = static_cast<int32_t>(i);
      if (e.IsMail()) {
        text_.clear();
        text_.append(open_).append(e.writer_handle.View()).append(close_).append(e.title.View());
        node_of_entry_[i] = AddNode(mail, text_, kIconMail, index);
        continue;
      }
      const uint64_t board_key = (static_cast<uint64_t>(e.board_type()) << 32) | static_cast<uint32_t>(e.board_no());
      auto board = boards_.find(board_key);
      TreeNodeId parent;
      uint32_t board_ordinal;
      if (board == boards_.end()) {
        text_.assign(BoardTypeText(e.board_type())).append(DecimalText(e.board_no())).append(":").append(e.BoardName());
        parent = AddNode(root, text_, kIconBoard, -1);
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
      text_.assign("#Fc.");
      const std::string number = DecimalText(e.message_no);
      if (number.size() < 5) text_.append(5 - number.size(), '0');
      text_.append(number).append(open_).append(e.writer_handle.View()).append(close_).append(e.title.View());
      const TreeNodeId node = AddNode(parent, text_, IconForMark(e.Mark()), index);
      node_of_entry_[i] = node;
      // The number the search reads back from the text: "000-1" reads as 0.
      const int32_t read_back = e.message_no < 0 ? 0 : e.message_no;
      NodeWithNumberAdded(numbers_[NumberKey(board_ordinal, read_back)], node);
    }
    // The search state is not needed to lay the tree out: give its memory back
    // before the final arrays are made.
    std::unordered_map<uint64_t, NumberState>().swap(numbers_);
    std::unordered_map<uint64_t, Board>().swap(boards_);
    std::vector<Level>().swap(levels_);
    return Finish();
  }

 private:
  struct BuildNode {
    uint32_t text_offset;
    uint32_t text_size;
    int32_t message_index;
    TreeNodeId parent;
    TreeNodeId jump;  // an ancestor (itself for a top-level node), for ancestor searches
    TreeNodeId first_child = kNoNode;
    TreeNodeId last_child = kNoNode;
    TreeNodeId next_sibling = kNoNode;
    int32_t row = 0;
    int32_t depth = 0;
    uint32_t child_count = 0;
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

  TreeNodeId AddNode(TreeNodeId parent, std::string_view text, int icon, int32_t message_index) {
    BuildNode b;
    b.text_offset = static_cast<uint32_t>(texts_.size());
    b.text_size = static_cast<uint32_t>(text.size());
    texts_.append(text);
    b.message_index = message_index;
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

  MessageTree Finish() {
    MessageTree tree;
    const size_t count = nodes_.size();
    std::vector<TreeNodeId> new_id(count, kNoNode);
    std::vector<TreeNodeId> order;
    order.reserve(count);
    std::vector<TreeNodeId> stack;
    stack.assign(top_level_.rbegin(), top_level_.rend());
    while (!stack.empty()) {
      const TreeNodeId id = stack.back();
      stack.pop_back();
      new_id[static_cast<size_t>(id)] = static_cast<TreeNodeId>(order.size());
      order.push_back(id);
      const size_t mark = stack.size();
      for (TreeNodeId c = N(id).first_child; c != kNoNode; c = N(c).next_sibling) stack.push_back(c);
      std::reverse(stack.begin() + static_cast<ptrdiff_t>(mark), stack.end());
    }
    tree.nodes_.resize(count);
    tree.children_.reserve(count);
    for (size_t k = 0; k < count; ++k) {
      const BuildNode& b = N(order[k]);
      MessageTree::Node& t = tree.nodes_[k];
      t.text_offset = b.text_offset;
      t.text_size = b.text_size;
      t.message_index = b.message_index;
      t.parent = b.parent == kNoNode ? kNoNode : new_id[static_cast<size_t>(b.parent)];
      t.row = b.row;
      t.depth = b.depth;
      t.icon = b.icon;
      t.first_child = static_cast<uint32_t>(tree.children_.size());
      t.child_count = b.child_count;
      for (TreeNodeId c = b.first_child; c != kNoNode; c = N(c).next_sibling) {
        tree.children_.push_back(new_id[static_cast<size_t>(c)]);
      }
    }
    for (TreeNodeId id : top_level_) tree.top_level_.push_back(new_id[static_cast<size_t>(id)]);
    tree.node_of_message_.resize(node_of_entry_.size());
    for (size_t i = 0; i < node_of_entry_.size(); ++i) {
      tree.node_of_message_[i] = new_id[static_cast<size_t>(node_of_entry_[i])];
    }
    tree.texts_ = std::move(texts_);
    return tree;
  }

  const std::string open_ = Sjis("【");
  const std::string close_ = Sjis("】");
  std::vector<BuildNode> nodes_;
  std::vector<TreeNodeId> top_level_;
  std::vector<TreeNodeId> node_of_entry_;
  std::string texts_;
  std::string text_;
  std::unordered_map<uint64_t, Board> boards_;
  std::unordered_map<uint64_t, NumberState> numbers_;
  std::vector<Level> levels_;
};

MessageTree BuildMessageTree(const MessageList& messages) { return MessageTreeBuilder().Build(messages); }

}  // namespace tobrisk
