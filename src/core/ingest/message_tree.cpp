#include "ingest/message_tree.h"

#include <algorithm>
#include <unordered_map>

#include "ingest/message_entry.h"
#include "text/bytes.h"
#include "text/sjis.h"

namespace tobrisk {

int IconForMark(std::string_view mark) {
  static const std::string replied = Sjis("●");
  static const std::string read = Sjis("○");
  static const std::string checked = Sjis("★");
  if (mark == replied) return kIconReplied;
  if (mark == read) return kIconRead;
  if (mark == checked) return kIconChecked;
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
// searched below. The last match recorded wins. Rather than walking the
// subtree, the builder keeps, per board and number, the nodes carrying that
// number and derives the same answer from them: the first of them in display
// order is always visited; after a match m the search resumes behind the
// subtree of m's parent (the visit of that level ended), so the next one
// visited is the first later candidate outside that subtree; the search ends
// when m's parent is the board node itself or no candidate is left.
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
      const uint64_t board_key = (static_cast<uint64_t>(e.board_type) << 32) | static_cast<uint32_t>(e.board_no);
      auto board = boards_.find(board_key);
      TreeNodeId parent;
      uint32_t board_ordinal;
      if (board == boards_.end()) {
        text_.assign(BoardTypeText(e.board_type)).append(DecimalText(e.board_no)).append(":").append(e.BoardName());
        parent = AddNode(root, text_, kIconBoard, -1);
        board_ordinal = static_cast<uint32_t>(boards_.size());
        boards_.emplace(board_key, Board{parent, board_ordinal});
      } else {
        board_ordinal = board->second.ordinal;
        parent = board->second.node;
        if (e.kind != MessageKind::New) {
          const TreeNodeId found = ReplyParent(board_ordinal, parent, e.res_to_no);
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
      Candidates& c = candidates_[CandidateKey(board_ordinal, read_back)];
      if (c.first == kNoNode) {
        c.first = node;
      } else {
        c.more.push_back(node);
      }
      c.answer = kUnknown;
    }
    return Finish();
  }

 private:
  static constexpr TreeNodeId kUnknown = -2;

  struct BuildNode {
    uint32_t text_offset;
    uint32_t text_size;
    int32_t message_index;
    TreeNodeId parent;
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
  struct Candidates {
    TreeNodeId first = kNoNode;
    TreeNodeId answer = kUnknown;  // cached until a node with the number is added
    std::vector<TreeNodeId> more;
  };

  static uint64_t CandidateKey(uint32_t board_ordinal, int32_t number) {
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
    }
    nodes_.push_back(b);
    return id;
  }

  const BuildNode& N(TreeNodeId id) const { return nodes_[static_cast<size_t>(id)]; }

  // True when a comes before b in display order.
  bool Before(TreeNodeId a, TreeNodeId b) const {
    if (a == b) return false;
    while (N(a).depth > N(b).depth) {
      a = N(a).parent;
      if (a == b) return false;  // b is an ancestor of a
    }
    while (N(b).depth > N(a).depth) {
      b = N(b).parent;
      if (a == b) return true;  // a is an ancestor of b
    }
    while (N(a).parent != N(b).parent) {
      a = N(a).parent;
      b = N(b).parent;
    }
    return N(a).row < N(b).row;
  }

  bool Inside(TreeNodeId node, TreeNodeId ancestor) const {
    while (N(node).depth > N(ancestor).depth) node = N(node).parent;
    return node == ancestor;
  }

  TreeNodeId ReplyParent(uint32_t board_ordinal, TreeNodeId board, int32_t res_to_no) {
    if (res_to_no < 0) return kNoNode;  // no node reads back a negative number
    const auto it = candidates_.find(CandidateKey(board_ordinal, res_to_no));
    if (it == candidates_.end()) return kNoNode;
    Candidates& c = it->second;
    if (c.answer != kUnknown) return c.answer;
    if (c.more.empty()) return c.answer = c.first;
    std::vector<TreeNodeId> all;
    all.reserve(c.more.size() + 1);
    all.push_back(c.first);
    all.insert(all.end(), c.more.begin(), c.more.end());
    std::sort(all.begin(), all.end(), [this](TreeNodeId a, TreeNodeId b) { return Before(a, b); });
    size_t at = 0;
    for (;;) {
      const TreeNodeId level = N(all[at]).parent;
      if (level == board) break;
      size_t next = at + 1;
      while (next < all.size() && Inside(all[next], level)) ++next;
      if (next == all.size()) break;
      at = next;
    }
    return c.answer = all[at];
  }

  MessageTree Finish() {
    MessageTree tree;
    const size_t count = nodes_.size();
    std::vector<TreeNodeId> new_id(count, kNoNode);
    std::vector<TreeNodeId> order;
    order.reserve(count);
    std::vector<TreeNodeId> stack;
    for (auto it = top_level_.rbegin(); it != top_level_.rend(); ++it) stack.push_back(*it);
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
  std::unordered_map<uint64_t, Candidates> candidates_;
};

MessageTree BuildMessageTree(const MessageList& messages) { return MessageTreeBuilder().Build(messages); }

}  // namespace tobrisk
