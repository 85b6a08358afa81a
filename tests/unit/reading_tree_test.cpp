#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>

#include "core/reading/message_entry.h"
#include "core/reading/message_tree.h"
#include "core/text/bytes.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

struct Shape {
  BoardType type = BoardType::BBS;
  int32_t board_no = 1;
  int32_t message_no = 1;
  MessageKind kind = MessageKind::New;
  int32_t res_to_no = -1;
  std::string mark;
  std::string handle = "h";
  std::string title = "t";
  std::string board_name = "b";
};

void Add(MessageList& list, const Shape& s) {
  MessageEntry e;
  const int32_t board_no = s.type == BoardType::MAIL ? -100 : s.board_no;
  e.context = list.Context({.board_list_no = board_no,
                            .board_no = board_no,
                            .board_name = list.Intern(s.type == BoardType::MAIL ? Sjis("新着メール") : s.board_name),
                            .mark = list.Intern(s.mark),
                            .board_type = s.type,
                            .kind = s.type == BoardType::MAIL ? MessageKind::Mail : s.kind});
  e.message_no = s.type == BoardType::MAIL ? -2 : s.message_no;
  e.res_to_no = s.res_to_no;
  e.writer_handle.Assign(s.handle);
  e.title.Assign(s.title);
  list.Append(e);
}

Shape New(int32_t board, int32_t no) {
  Shape s;
  s.board_no = board;
  s.message_no = no;
  return s;
}
Shape Res(int32_t board, int32_t no, int32_t to) {
  Shape s = New(board, no);
  s.kind = MessageKind::Res;
  s.res_to_no = to;
  return s;
}

// One line per node in display order: depth, icon, message index, text. Checks
// on the way that the longest text per depth is that of the texts.
std::vector<std::string> Lines(const MessageTree& tree) {
  std::vector<std::string> lines;
  std::vector<uint32_t> longest;
  for (TreeNodeId id = 0; id < static_cast<TreeNodeId>(tree.Size()); ++id) {
    const std::string text = tree.Text(id);
    lines.push_back(std::to_string(tree.Depth(id)) + " " + std::to_string(tree.Icon(id)) + " " +
                    std::to_string(tree.MessageIndex(id)) + " " + text);
    const auto depth = static_cast<size_t>(tree.Depth(id));
    if (longest.size() <= depth) longest.resize(depth + 1, 0);
    longest[depth] = std::max(longest[depth], static_cast<uint32_t>(text.size()));
  }
  const std::span<const uint32_t> by_depth = tree.LongestTextByDepth();
  EXPECT_EQ(std::vector<uint32_t>(by_depth.begin(), by_depth.end()), longest);
  // Parents, subtrees and the node of each message agree with the depths.
  const auto size = static_cast<TreeNodeId>(tree.Size());
  for (TreeNodeId id = 0; id < size; ++id) {
    TreeNodeId parent = id - 1;
    while (parent >= 0 && tree.Depth(parent) >= tree.Depth(id)) --parent;
    EXPECT_EQ(tree.Parent(id), tree.Depth(id) == 0 ? kNoNode : parent) << "node " << id;
    TreeNodeId end = id + 1;
    while (end < size && tree.Depth(end) > tree.Depth(id)) ++end;
    EXPECT_EQ(tree.SubtreeEnd(id), end) << "node " << id;
    if (tree.MessageIndex(id) >= 0) {
      EXPECT_EQ(tree.NodeOfMessage(static_cast<size_t>(tree.MessageIndex(id))), id);
    }
  }
  return lines;
}

// The tree built literally: board nodes found by reading their text back,
// reply parents by the depth-first search over the board's subtree.
struct RefNode {
  std::string text;
  int icon;
  int32_t index;
  std::vector<std::unique_ptr<RefNode>> children;
  RefNode* Add(std::string t, int i, int32_t x) {
    children.push_back(std::make_unique<RefNode>(RefNode{std::move(t), i, x, {}}));
    return children.back().get();
  }
};

void SearchReply(RefNode* node, const std::string& number, RefNode*& found) {
  for (auto& c : node->children) {
    if (DecimalText(ReadNumberAt(c->text, 5)) == number) {
      found = c.get();
      return;
    }
    if (!c->children.empty()) SearchReply(c.get(), number, found);
  }
}

std::vector<std::string> LiteralTree(const MessageList& list) {
  RefNode top{"", 0, -1, {}};
  RefNode* mail = top.Add(Sjis("『新着メール』"), 6, -1);
  RefNode* root = top.Add(Sjis("『新着メッセージ』"), 4, -1);
  for (size_t i = 0; i < list.Size(); ++i) {
    const MessageEntry& e = list[i];
    const auto idx = static_cast<int32_t>(i);
    if (e.IsMail()) {
      mail->Add(Sjis("【") + e.writer_handle.Str() + Sjis("】") + e.title.Str(), 5, idx);
      continue;
    }
    const std::string type(BoardTypeText(e.board_type()));
    const std::string number = DecimalText(e.board_no());
    RefNode* board = nullptr;
    for (auto& c : root->children) {
      const std::string_view t = c->text;
      if ((t.substr(0, 3) == "BBS" && type == "BBS" && DecimalText(ReadNumberAt(t, 4)) == number) ||
          (t.substr(0, 4) == "IBBS" && type == "IBBS" && DecimalText(ReadNumberAt(t, 5)) == number) ||
          (t.substr(0, 3) == "CUG" && type == "CUG" && DecimalText(ReadNumberAt(t, 4)) == number)) {
        board = c.get();
        break;
      }
    }
    std::string no = DecimalText(e.message_no);
    while (no.size() < 5) no = "0" + no;
    const std::string text = "#Fc." + no + Sjis("【") + e.writer_handle.Str() + Sjis("】") + e.title.Str();
    RefNode* parent;
    if (board == nullptr) {
      parent = root->Add(type + number + ":" + std::string(e.BoardName()), 2, -1);
    } else if (e.kind() == MessageKind::New) {
      parent = board;
    } else {
      RefNode* found = nullptr;
      SearchReply(board, DecimalText(e.res_to_no), found);
      parent = found ? found : board;
    }
    parent->Add(text, IconForMark(e.Mark()), idx);
  }
  std::vector<std::string> lines;
  auto walk = [&](auto& self, const RefNode* n, int depth) -> void {
    lines.push_back(std::to_string(depth) + " " + std::to_string(n->icon) + " " + std::to_string(n->index) + " " +
                    n->text);
    for (const auto& c : n->children) self(self, c.get(), depth + 1);
  };
  for (const auto& c : top.children) walk(walk, c.get(), 0);
  return lines;
}

TEST(MessageTree, RootsTextsAndIcons) {
  MessageList list;
  Shape mail;
  mail.type = BoardType::MAIL;
  mail.handle = Sjis("はなこ");
  mail.title = Sjis("件名");
  mail.mark = "-";
  Add(list, mail);
  Shape a = New(12, 123);
  a.board_name = Sjis("雑談");
  a.mark = Sjis("●");
  Add(list, a);
  Shape b = New(12, 123456);
  b.mark = Sjis("○");
  Add(list, b);
  Shape c = New(12, -1);
  c.mark = Sjis("★");
  Add(list, c);
  Shape d = New(12, 7);
  d.mark = "?";
  Add(list, d);
  const MessageTree tree = BuildMessageTree(list);
  EXPECT_EQ(Lines(tree), (std::vector<std::string>{
                             "0 6 -1 " + Sjis("『新着メール』"),
                             "1 5 0 " + Sjis("【はなこ】件名"),
                             "0 4 -1 " + Sjis("『新着メッセージ』"),
                             "1 2 -1 BBS12:" + Sjis("雑談"),
                             "2 1 1 #Fc.00123" + Sjis("【h】t"),
                             "2 3 2 #Fc.123456" + Sjis("【h】t"),
                             "2 7 3 #Fc.000-1" + Sjis("【h】t"),
                             "2 0 4 #Fc.00007" + Sjis("【h】t"),
                         }));
  EXPECT_EQ(tree.TopLevel().size(), 2u);
  EXPECT_EQ(tree.MessageRoot(), 2);
  EXPECT_EQ(tree.NodeOfMessage(2), 5);
  EXPECT_EQ(tree.Parent(5), 3);
  const MessageTree::ChildRange board = tree.Children(3);
  EXPECT_EQ(std::vector<TreeNodeId>(board.begin(), board.end()), (std::vector<TreeNodeId>{4, 5, 6, 7}));
  EXPECT_EQ(tree.SubtreeEnd(3), 8);
  EXPECT_TRUE(tree.Children(7).empty());

  MessageList empty;
  EXPECT_EQ(Lines(BuildMessageTree(empty)),
            (std::vector<std::string>{"0 6 -1 " + Sjis("『新着メール』"), "0 4 -1 " + Sjis("『新着メッセージ』")}));
}

TEST(MessageTree, ReplyPlacement) {
  MessageList list;
  Add(list, Res(1, 10, 3));  // first of its board: under the board even as a reply
  Add(list, New(1, 11));
  Add(list, Res(1, 12, 11));  // chain: 12 under 11, 13 under 12
  Add(list, Res(1, 13, 12));
  Add(list, Res(1, 14, 99));  // not in the log: under the board
  Shape ibbs = New(1, 11);    // IBBS 1 is another board than BBS 1
  ibbs.type = BoardType::IBBS;
  Add(list, ibbs);
  Shape ibbs_res = Res(1, 15, 11);
  ibbs_res.type = BoardType::IBBS;
  Add(list, ibbs_res);
  const auto lines = Lines(BuildMessageTree(list));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[2], "1 2 -1 BBS1:b");
  EXPECT_EQ(lines[3].substr(0, 6), "2 0 0 ");
  EXPECT_EQ(lines[4].substr(0, 6), "2 0 1 ");
  EXPECT_EQ(lines[5].substr(0, 6), "3 0 2 ");
  EXPECT_EQ(lines[6].substr(0, 6), "4 0 3 ");
  EXPECT_EQ(lines[7].substr(0, 6), "2 0 4 ");
  EXPECT_EQ(lines[8], "1 2 -1 IBBS1:b");
  EXPECT_EQ(lines[9].substr(0, 6), "2 0 5 ");
  EXPECT_EQ(lines[10].substr(0, 6), "3 0 6 ");
  EXPECT_EQ(lines, LiteralTree(list));
}

TEST(MessageTree, MessageReadTwice) {
  {
    // Both copies direct children of the board: the reply goes under the earlier.
    MessageList list;
    Add(list, New(1, 5));
    Add(list, New(1, 5));
    Add(list, Res(1, 6, 5));
    const auto lines = Lines(BuildMessageTree(list));
    EXPECT_EQ(lines[3].substr(0, 6), "2 0 0 ");
    EXPECT_EQ(lines[4].substr(0, 6), "3 0 2 ");
    EXPECT_EQ(lines[5].substr(0, 6), "2 0 1 ");
    EXPECT_EQ(lines, LiteralTree(list));
  }
  {
    // The earlier copy sits deeper under an earlier sibling, the later one is a
    // direct child: the later copy is recorded last and wins.
    MessageList list;
    Add(list, New(1, 1));
    Add(list, Res(1, 5, 1));  // copy 1 of 5, under 1
    Add(list, New(1, 5));     // copy 2 of 5, under the board
    Add(list, Res(1, 7, 5));
    const auto lines = Lines(BuildMessageTree(list));
    EXPECT_EQ(lines[5].substr(0, 6), "2 0 2 ");
    EXPECT_EQ(lines[6].substr(0, 6), "3 0 3 ");  // under the later copy
    EXPECT_EQ(lines, LiteralTree(list));
  }
}

TEST(MessageTree, EqualsTheLiteralSearchOnRandomLists) {
  std::mt19937 rng(99);
  for (int round = 0; round < 3000; ++round) {
    MessageList list;
    const size_t n = rng() % 50;
    for (size_t i = 0; i < n; ++i) {
      Shape s;
      const unsigned t = rng() % 8;
      s.type = t == 0 ? BoardType::MAIL : t < 5 ? BoardType::BBS : t < 7 ? BoardType::IBBS : BoardType::CUG;
      s.board_no = static_cast<int32_t>(rng() % 3) - 1;  // -1, 0, 1
      s.message_no = static_cast<int32_t>(rng() % 6) - 1;
      s.kind = rng() % 3 == 0 ? MessageKind::New : MessageKind::Res;
      s.res_to_no = static_cast<int32_t>(rng() % 6) - 1;
      Add(list, s);
    }
    ASSERT_EQ(Lines(BuildMessageTree(list)), LiteralTree(list)) << "round " << round;
    // Built in two parts wherever the list allows it.
    ASSERT_EQ(Lines(BuildMessageTree(list, TreeBuildOptions{.parallel_from = 2})), LiteralTree(list))
        << "two parts, round " << round;
    // In two steps: the first boards at once, the others on a thread; the
    // first step's rows stay the whole tree's first rows unless it is rebuilt.
    {
      std::unique_ptr<MessageTreeRest> rest;
      const TreeBuildOptions options{
          .parallel_from = 2, .first_step_nodes = 1 + rng() % 4, .rest_step_nodes = 1 + rng() % 4};
      MessageTree tree = BuildMessageTreeInSteps(list, rest, options);
      const std::vector<std::string> first = Lines(tree);
      if (rest != nullptr && round % 2 == 0) rest->Start();  // else built by Complete
      const bool kept = rest == nullptr || rest->Complete(tree);
      const std::vector<std::string> whole = Lines(tree);
      ASSERT_EQ(whole, LiteralTree(list)) << "in steps, round " << round;
      if (kept) {
        ASSERT_TRUE(std::equal(first.begin(), first.end(), whole.begin())) << "in steps, round " << round;
      }
    }
    // The same list with its entries stored shuffled, read through an order.
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
    std::shuffle(order.begin(), order.end(), rng);
    MessageList stored;
    std::vector<uint32_t> position_of(n);
    for (size_t p = 0; p < n; ++p) position_of[order[p]] = static_cast<uint32_t>(p);
    for (size_t k = 0; k < n; ++k) stored.Append(list[position_of[k]]);
    stored.SetOrder(order);
    ASSERT_EQ(Lines(BuildMessageTree(stored)), LiteralTree(list)) << "ordered round " << round;
  }
  // One board, long lists: deep reply chains with many copies of each number.
  for (int round = 0; round < 300; ++round) {
    MessageList list;
    const size_t n = 50 + rng() % 150;
    const unsigned numbers = 3 + rng() % 12;
    for (size_t i = 0; i < n; ++i) {
      const auto no = static_cast<int32_t>(rng() % numbers) - 1;
      const auto to = static_cast<int32_t>(rng() % numbers) - 1;
      Add(list, rng() % 5 == 0 ? New(2, no) : Res(2, no, to));
    }
    ASSERT_EQ(Lines(BuildMessageTree(list)), LiteralTree(list)) << "deep round " << round;
  }
  // Boards whose numbers run densely, and boards whose numbers lie far apart.
  for (int round = 0; round < 300; ++round) {
    MessageList list;
    const int32_t spread = round % 2 == 0 ? 1 : 10000;
    const size_t n = 2 + rng() % 100;
    for (size_t i = 0; i < n; ++i) {
      const auto no = static_cast<int32_t>(rng() % n) * spread;
      const auto to = static_cast<int32_t>(rng() % n) * spread + (rng() % 7 == 0 ? 1 : 0);
      Add(list, rng() % 5 == 0 ? New(1 + static_cast<int32_t>(rng() % 3), no)
                               : Res(1 + static_cast<int32_t>(i * 3 / n), no, to));
    }
    ASSERT_EQ(Lines(BuildMessageTree(list)), LiteralTree(list)) << "spread round " << round;
  }
}

TEST(MessageTree, ThousandsOfRepliesSharingOneNumberBuildInAnInstant) {
  // Numbers wrap at 99999 on long boards: 16,000 replies all numbered 1, under
  // a first message that is a direct child of its board (board 1) and under one
  // that is itself a reply (board 2).
  MessageList list;
  Add(list, New(1, 1));
  Add(list, New(2, 5));
  Add(list, Res(2, 1, 5));
  for (int i = 0; i < 16000; ++i) {
    Add(list, Res(1, 1, 1));
    Add(list, Res(2, 1, 1));
  }
  const auto start = std::chrono::steady_clock::now();
  const MessageTree tree = BuildMessageTree(list);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_EQ(Lines(tree), LiteralTree(list));
}

TEST(MessageTree, BigBoardWithManyCopiesStaysFast) {
  // 60,000 messages of one board, every number read three times, replies to all.
  MessageList list;
  for (int i = 0; i < 20000; ++i) {
    Add(list, i % 2 ? Res(1, i % 4000, (i * 7) % 4000) : New(1, i % 4000));
    Add(list, Res(1, i % 4000, (i * 13) % 4000));
    Add(list, Res(1, i % 4000, i % 4000));
  }
  const MessageTree tree = BuildMessageTree(list);
  EXPECT_EQ(tree.Size(), list.Size() + 3);
}

}  // namespace
}  // namespace tobrisk
