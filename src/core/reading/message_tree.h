// The reply tree of the message window: the mail root with one node per mail,
// the message root with one node per board and, below each board, its messages,
// every reply under the message it answers when that message is in the log.
//
// Nodes are numbered in display order (pre-order: a node, then its children's
// subtrees in order), so node 0 is the mail root, the next node in display order
// is id + 1 and the last one is Size() - 1. The tree is rebuilt from the sorted
// message list after every log open; afterwards only icons change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/huge_pages.h"

namespace tobrisk {

class MessageList;
struct MessageEntry;

// The image numbers of the window's icon list.
enum TreeIcon : int {
  kIconUnread = 0,       // board message without a mark (or an unknown mark)
  kIconReplied = 1,      // "●"
  kIconBoard = 2,        // board node
  kIconRead = 3,         // "○"
  kIconMessageRoot = 4,  // "『新着メッセージ』"
  kIconMail = 5,         // mail message, whatever its mark
  kIconMailRoot = 6,     // "『新着メール』"
  kIconChecked = 7,      // "★"
};
inline constexpr int kTreeIconCount = 8;

// The icon of a board message with this mark: 1 "●", 3 "○", 7 "★", otherwise 0.
int IconForMark(std::string_view mark);

// A message node's number as the tree shows it: "#Fc." and the message number
// filled with "0" to 5 bytes ("#Fc.00345", "#Fc.000-1"), written at `out`, which
// has room for kMessageLabelRoom bytes; returns the end of what was written.
inline constexpr size_t kMessageLabelRoom = 4 + 11;
char* PutMessageLabel(int32_t message_no, char* out);

using TreeNodeId = int32_t;
inline constexpr TreeNodeId kNoNode = -1;

class MessageTree {
 public:
  static constexpr TreeNodeId kMailRoot = 0;  // valid when the tree is not empty

  bool Empty() const { return nodes_.empty(); }
  size_t Size() const { return nodes_.size(); }
  void Clear();

  // The top-level nodes in order (the mail root, then the message root).
  std::span<const TreeNodeId> TopLevel() const { return top_level_; }
  // The message root "『新着メッセージ』"; kNoNode when the tree is empty.
  TreeNodeId MessageRoot() const { return top_level_.size() > 1 ? top_level_[1] : kNoNode; }

  // Node text in Shift-JIS, made from the entry the node stands for in the list
  // the tree was built from (which must still hold it): see BuildMessageTree.
  std::string Text(TreeNodeId id) const;
  // The same, appended to `out`.
  void AppendText(TreeNodeId id, std::string& out) const;
  // Asks the processor to fetch the entry node `id` shows: texts made in
  // display order read entries all over the list (a reply tree, or a list
  // read through its order), and a text made a few nodes later then waits less.
  void PrefetchEntry(TreeNodeId id) const;
  // For each depth from 0, the size of the longest node text at that depth (for
  // laying out the view without making every text).
  std::span<const uint32_t> LongestTextByDepth() const { return longest_text_by_depth_; }
  int Icon(TreeNodeId id) const { return nodes_[static_cast<size_t>(id)].icon; }
  void SetIcon(TreeNodeId id, int icon) { nodes_[static_cast<size_t>(id)].icon = static_cast<uint8_t>(icon) & 15u; }
  // 0-based index into the message list; -1 for the roots and board nodes.
  int32_t MessageIndex(TreeNodeId id) const {
    const Node& n = nodes_[static_cast<size_t>(id)];
    return n.kind == NodeKind::Message || n.kind == NodeKind::Mail ? n.entry : -1;
  }
  // kNoNode for a top-level node.
  TreeNodeId Parent(TreeNodeId id) const { return nodes_[static_cast<size_t>(id)].parent; }
  // 0 for the roots.
  int32_t Depth(TreeNodeId id) const { return static_cast<int32_t>(nodes_[static_cast<size_t>(id)].depth); }
  // One past the last node of the subtree of `id`: the subtree is the nodes id .. SubtreeEnd(id) - 1.
  TreeNodeId SubtreeEnd(TreeNodeId id) const {
    return static_cast<TreeNodeId>(nodes_[static_cast<size_t>(id)].subtree_end);
  }
  // The children of a node in order: the first follows its parent, each next
  // one follows the subtree of the one before.
  class ChildRange {
   public:
    class Iterator {
     public:
      using iterator_category = std::forward_iterator_tag;
      using value_type = TreeNodeId;
      using difference_type = std::ptrdiff_t;
      using pointer = const TreeNodeId*;
      using reference = TreeNodeId;
      Iterator() = default;
      Iterator(const MessageTree* tree, TreeNodeId id) : tree_(tree), id_(id) {}
      TreeNodeId operator*() const { return id_; }
      Iterator& operator++() {
        id_ = tree_->SubtreeEnd(id_);
        return *this;
      }
      Iterator operator++(int) {
        Iterator before = *this;
        ++*this;
        return before;
      }
      bool operator==(const Iterator& other) const { return id_ == other.id_; }

     private:
      const MessageTree* tree_ = nullptr;
      TreeNodeId id_ = kNoNode;
    };
    ChildRange(const MessageTree* tree, TreeNodeId first, TreeNodeId end) : tree_(tree), first_(first), end_(end) {}
    Iterator begin() const { return {tree_, first_}; }
    Iterator end() const { return {tree_, end_}; }
    bool empty() const { return first_ == end_; }
    TreeNodeId front() const { return first_; }

   private:
    const MessageTree* tree_;
    TreeNodeId first_;
    TreeNodeId end_;
  };
  ChildRange Children(TreeNodeId id) const { return {this, id + 1, SubtreeEnd(id)}; }
  // The node showing message `index`; kNoNode when there is none.
  TreeNodeId NodeOfMessage(size_t index) const {
    return index < node_of_message_.size() ? node_of_message_[index] : kNoNode;
  }

 private:
  friend class MessageTreeBuilder;
  enum class NodeKind : uint8_t { MailRoot, MessageRoot, Board, Mail, Message };
  // Texts are not kept: each is a fixed function of the node's kind and entry.
  // Depth, kind and icon share four bytes: 16 bytes a node.
  static constexpr uint32_t kMaxDepth = (uint32_t{1} << 24) - 1;
  struct Node {
    int32_t entry = -1;  // the message's list index; for a board node its first message's
    TreeNodeId parent = kNoNode;
    uint32_t subtree_end = 0;  // SubtreeEnd (while the tree is built: the node's row among its siblings)
    uint32_t depth : 24 = 0;   // at most kMaxDepth
    NodeKind kind : 4 = NodeKind::MailRoot;
    uint8_t icon : 4 = 0;
  };
  // Text(id).size() of a node of `kind` for entry `e` (null for the roots).
  static size_t TextSizeOf(NodeKind kind, const MessageEntry* e);

  // The entry at list position p.
  const MessageEntry& EntryAt(size_t p) const;

  const MessageList* messages_ = nullptr;  // the list the tree was built from
  HugeVector<Node> nodes_;                 // in display order
  std::vector<TreeNodeId> top_level_;
  HugeVector<TreeNodeId> node_of_message_;
  std::vector<uint32_t> longest_text_by_depth_;
};

// Builds the tree from the (sorted) message list:
// - mail root "『新着メール』" (icon 6) with one node "【" + WriterHandle + "】" +
//   Title per mail (icon 5), in list order;
// - message root "『新着メッセージ』" (icon 4) with one board node per board
//   (BoardType + BoardNo + ":" + BoardName, icon 2) in order of first appearance;
// - message nodes "#Fc." + MessageNo filled with "0" to 5 bytes + "【" +
//   WriterHandle + "】" + Title: a board's first message and every NEW under the
//   board node, a reply under the message it answers (searched in the board's
//   subtree; the last match recorded by the depth-first search wins), else under
//   the board node. Icon from the mark (IconForMark).
// The tree refers to `messages` for its texts: the list must outlive it and keep
// its entries (marks may change) as long as the tree is used.
struct TreeBuildOptions {
  // A list at least this long is built in two parts on two threads, split
  // between two boards (when no board and no mail lies on both sides), and in
  // steps by BuildMessageTreeInSteps.
  size_t parallel_from = 100000;
  // The board messages a first step holds at least (with its mails): more
  // than a screen.
  size_t first_step_nodes = 4096;
  // The rest is built a few boards at a time, of at least this many messages.
  size_t rest_step_nodes = 32768;
};
MessageTree BuildMessageTree(const MessageList& messages, const TreeBuildOptions& options = {});
MessageTree BuildMessageTree(const MessageList&& messages) = delete;

// The boards of a long list after its first ones, built on a thread of their
// own while a window already shows the first ones (BuildMessageTreeInSteps).
class MessageTreeRest {
 public:
  ~MessageTreeRest();  // waits for the build
  MessageTreeRest(const MessageTreeRest&) = delete;
  MessageTreeRest& operator=(const MessageTreeRest&) = delete;
  // Starts the build on a thread of its own (a window starts it once it has
  // painted the first rows, so that the build does not take a core from it).
  void Start();
  // Whether the build is done: Complete then does not wait.
  bool Ready() const;
  // Waits for the build (builds here when it was not started) and makes
  // `tree`, the first step's tree (changed in nothing but its icons since),
  // the whole list's tree, as BuildMessageTree gives it. True when its nodes
  // kept their places and the others came after them; false when it was
  // built anew (a board of the first step comes back later in the list). Once.
  bool Complete(MessageTree& tree);

 private:
  friend class MessageTreeBuilder;
  struct Build;
  explicit MessageTreeRest(std::unique_ptr<Build> build);
  std::unique_ptr<Build> build_;
};

// The tree of `messages` in two steps, so that a window can show its first
// rows without waiting for the rest: returns the tree of the mails and the
// first boards (options.first_step_nodes board messages at least) and puts in
// `rest` the build of the other boards, to be started (MessageTreeRest). A list
// shorter than options.parallel_from, or one whose first step would hold every
// board, is built whole at once, and `rest` is null. The list must not change
// (but for marks in the first step's entries) before the rest is complete or
// dropped.
MessageTree BuildMessageTreeInSteps(const MessageList& messages, std::unique_ptr<MessageTreeRest>& rest,
                                    const TreeBuildOptions& options = {});

}  // namespace tobrisk
