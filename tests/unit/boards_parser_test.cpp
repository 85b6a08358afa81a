#include <gtest/gtest.h>

#include "board_capture_generator.h"
#include "core/boards/board_list_parser.h"
#include "capture_generator.h"
#include "core/reading/escape_filter.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::BoardNumberCell;
using testing::BoardNumberForm;

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// Escape removal as the import runs it before parsing.
std::string WithoutEscapes(std::string_view capture) {
  std::string out;
  LineReader reader(kInMemory, capture);
  std::string_view line;
  while (reader.Next(line)) {
    FilterEscapes(line, out);
    out += "\r\n";
  }
  return out;
}

struct Parsed {
  BoardList boards;
  UserList users;
  ImportCounters counters;
};

Parsed ParseAll(std::string_view capture, int get_ibbs_list = 0) {
  Parsed p;
  const std::string clean = WithoutEscapes(capture);
  LineReader reader(kInMemory, clean);
  ParseBoardUserLists(reader, p.boards, p.users, p.counters, get_ibbs_list);
  return p;
}

std::string Name(std::string_view utf8) { return testing::PadRight(Sjis(utf8), 20); }

TEST(BoardsParser, FullWidthDigitsAndLeadingSpaces) {
  EXPECT_EQ(FullWidthDigitsToAscii(Sjis("１２")), "12");
  EXPECT_EQ(FullWidthDigitsToAscii(Sjis("０９")), "09");
  EXPECT_EQ(FullWidthDigitsToAscii(Sjis(" ５")), " 5");
  EXPECT_EQ(FullWidthDigitsToAscii(Sjis("Ａ１")), Sjis("Ａ") + "1");
  // A lead byte of another character is copied alone; its trail byte then
  // starts the next step and may pair with the byte after it.
  EXPECT_EQ(FullWidthDigitsToAscii("\x81\x82\x4F"),
            "\x81"
            "0");
  EXPECT_EQ(FullWidthDigitsToAscii("\x82"), "\x82");          // a lead byte at the end
  EXPECT_EQ(FullWidthDigitsToAscii("\x82\x59"), "\x82\x59");  // just past ９

  EXPECT_EQ(CutLeadingSpaces("  5"), "5");
  EXPECT_EQ(CutLeadingSpaces("5  "), "5  ");
  EXPECT_EQ(CutLeadingSpaces("   "), "");
  EXPECT_EQ(CutLeadingSpaces(""), "");
}

TEST(BoardsParser, ConversionAcceptsLeadingBlanksAndSignOnly) {
  EXPECT_EQ(ConvertListNumber("  5"), 5);
  EXPECT_EQ(ConvertListNumber("0042"), 42);
  EXPECT_EQ(ConvertListNumber("+7"), 7);
  EXPECT_EQ(ConvertListNumber(" -3"), -3);
  for (const char* bad : {"", "   ", "5 ", "1x", "- 3", "\t5", "99999999999"}) {
    EXPECT_THROW(ConvertListNumber(bad), ConversionError) << bad;
  }
  try {
    ConvertListNumber(Sjis("Ｆ"));
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_EQ(std::string(e.what()), Sjis("'Ｆ' は整数ではありません"));
    EXPECT_EQ(e.Text(), Sjis("Ｆ"));
  }
}

TEST(BoardsParser, BbsRowsTakeNumberTypeAndName) {
  const auto p = ParseAll(Lines({
      testing::BbsListStartLine(),
      testing::BoardListColumnHeader(),
      testing::BbsBoardRow(BoardNumberCell(0, BoardNumberForm::Free), "BBS", Sjis("フリー")),
      testing::BbsBoardRow(BoardNumberCell(12, BoardNumberForm::FullWidth), "BBS", Sjis("雑談ボード全般です。")),
      testing::BbsBoardRow(BoardNumberCell(5, BoardNumberForm::FullWidth), "CUG", "club"),
      testing::BbsBoardRow(BoardNumberCell(7, BoardNumberForm::Ascii), "BBS", "seven"),
      testing::IbbAmongBbsRow(BoardNumberCell(8, BoardNumberForm::Ascii), 5, "linked"),
      testing::IbbAmongBbsRow(BoardNumberCell(9, BoardNumberForm::Ascii), 123, "linked2"),
      testing::BbsBoardRow(BoardNumberCell(10, BoardNumberForm::Ascii), "XYZ", "no type"),  // skipped
      testing::BbsBoardRow(BoardNumberCell(11, BoardNumberForm::Ascii), "BBS", "eleven"),
      testing::BoardListPrompt("Ａ"),
      testing::BbsBoardRow(BoardNumberCell(13, BoardNumberForm::Ascii), "BBS", "after the end"),
  }));
  const BoardList expected = {
      {"1", "0", "BBS", Name("フリー")},  {"2", "12", "BBS", Sjis("雑談ボード全般です。")},
      {"3", "5", "CUG", Name("club")},    {"4", "7", "BBS", Name("seven")},
      {"5", "5", "LBBS", Name("linked")}, {"6", "123", "LBBS", Name("linked2")},
      {"7", "11", "BBS", Name("eleven")},
  };
  EXPECT_EQ(p.boards, expected);
  EXPECT_EQ(p.counters.board_counter, 7);
}

TEST(BoardsParser, BoardListEndsAtItsPromptsOnly) {
  // " [Ｏ" ends the IBBS list but not the BBS list.
  for (const char* letter : {"Ｌ", "Ａ", "Ｅ", "Ｏ"}) {
    const bool ends_bbs = std::string_view(letter) != "Ｏ";
    const auto p = ParseAll(Lines({
        testing::BbsListStartLine(),
        testing::BbsBoardRow(BoardNumberCell(1, BoardNumberForm::Ascii), "BBS", "one"),
        testing::BoardListPrompt(letter),
        testing::BbsBoardRow(BoardNumberCell(2, BoardNumberForm::Ascii), "BBS", "two"),
        testing::IbbsListStartLine(),
        testing::IbbsBoardRow(BoardNumberCell(3, BoardNumberForm::Ascii), "three", false),
        testing::BoardListPrompt(letter),
        testing::IbbsBoardRow(BoardNumberCell(4, BoardNumberForm::Ascii), "four", false),
    }));
    // When the BBS list does not end, its parser reads on over the IBBS start
    // line: that line's type bytes are no board type, and the IBBS rows' neither.
    ASSERT_EQ(p.boards.size(), 2u) << letter;
    EXPECT_EQ(p.boards[0].board_no, "1");
    EXPECT_EQ(p.boards[1],
              ends_bbs ? (BoardEntry{"2", "3", "IBBS", Name("three")}) : (BoardEntry{"2", "2", "BBS", Name("two")}))
        << letter;
  }
}

TEST(BoardsParser, IbbsSkipRowsFollowGetIBbsList) {
  const std::string capture = Lines({
      testing::IbbsListStartLine(),
      testing::BoardListColumnHeader(),
      testing::IbbsBoardRow(BoardNumberCell(1, BoardNumberForm::Ascii), "read1", false),
      testing::IbbsBoardRow(BoardNumberCell(2, BoardNumberForm::Ascii), "skip2", true),
      testing::IbbsBoardRow(BoardNumberCell(12, BoardNumberForm::FullWidth), "read12", false),
      testing::IbbsBoardRow(BoardNumberCell(4, BoardNumberForm::FullWidth), "skip4", true),
      testing::BoardListPrompt("Ｏ"),
  });
  const auto without = ParseAll(capture, 0);
  ASSERT_EQ(without.boards.size(), 2u);
  EXPECT_EQ(without.boards[0], (BoardEntry{"1", "1", "IBBS", Name("read1")}));
  EXPECT_EQ(without.boards[1], (BoardEntry{"2", "12", "IBBS", Name("read12")}));

  for (int every : {1, 2}) {
    const auto with = ParseAll(capture, every);
    ASSERT_EQ(with.boards.size(), 4u);
    EXPECT_EQ(with.boards[1], (BoardEntry{"2", "2", "IBBS", Name("skip2")}));
    EXPECT_EQ(with.boards[3], (BoardEntry{"4", "4", "IBBS", Name("skip4")}));
  }
}

TEST(BoardsParser, FreeRowInIbbsListIsBoardZero) {
  const auto p = ParseAll(Lines(
      {testing::IbbsListStartLine(), testing::IbbsBoardRow(BoardNumberCell(0, BoardNumberForm::Free), "free", false)}));
  ASSERT_EQ(p.boards.size(), 1u);
  EXPECT_EQ(p.boards[0].board_no, "0");
}

TEST(BoardsParser, ShortRowsKeepWhatTheyHave) {
  // A row cut short by the terminal: the name is what there is.
  const auto p = ParseAll(Lines({testing::BbsListStartLine(), "[ 12 ] BBS        short"}));
  ASSERT_EQ(p.boards.size(), 1u);
  EXPECT_EQ(p.boards[0], (BoardEntry{"1", "12", "BBS", "short"}));
}

TEST(BoardsParser, MemberListSpansPagesAndEndsAtEmptyLineOrMainMenu) {
  const std::string rows = Lines({
      testing::MemberListStartLine(),
      testing::MemberRow(1, "before header"),  // ignored
      "",                                      // ignored: header not seen yet
      testing::MemberColumnHeader(),
      testing::MemberRow(42, Sjis("たろう")),
      testing::PadRight("", 10) + "0007 " + Sjis("ＭＩＫＥ＿ＳＡＮ") + " tail",
      testing::MemberContinueLine(),
      testing::MemberColumnHeader(),
      testing::MemberRow(9999, "hanako"),
  });
  const auto by_empty = ParseAll(rows + Lines({"", testing::MemberRow(5, "after")}));
  const UserList expected = {
      {"1", "42", testing::PadRight(Sjis("たろう"), 16)},
      {"2", "7", Sjis("ＭＩＫＥ＿ＳＡＮ")},
      {"3", "9999", testing::PadRight("hanako", 16)},
  };
  EXPECT_EQ(by_empty.users, expected);
  EXPECT_EQ(by_empty.counters.member_counter, 3);

  const auto by_menu = ParseAll(rows + Lines({testing::MainMenuLine(), testing::MemberRow(5, "after")}));
  EXPECT_EQ(by_menu.users, expected);

  const auto cut_off = ParseAll(rows);
  EXPECT_EQ(cut_off.users, expected);
}

TEST(BoardsParser, BadNumbersStopWithRowsSoFar) {
  BoardList boards;
  UserList users;
  ImportCounters counters;
  const std::string capture = Lines({
      testing::BbsListStartLine(),
      testing::BbsBoardRow(BoardNumberCell(1, BoardNumberForm::Ascii), "BBS", "one"),
      testing::BbsBoardRow("[ 1x ]", "BBS", "bad"),
      testing::BbsBoardRow(BoardNumberCell(3, BoardNumberForm::Ascii), "BBS", "three"),
  });
  LineReader reader(kInMemory, capture);
  try {
    ParseBoardUserLists(reader, boards, users, counters, 0);
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_EQ(e.Text(), "1x");
  }
  EXPECT_EQ(boards.size(), 1u);

  // A member ID with a trailing blank, and a row too short for its ID.
  for (const std::string& row : {testing::PadRight("", 10) + "12 3 name", std::string("junk")}) {
    UserList u;
    const std::string members = Lines({testing::MemberListStartLine(), testing::MemberColumnHeader(), row});
    LineReader r(kInMemory, members);
    EXPECT_THROW(ParseBoardUserLists(r, boards, u, counters, 0), ConversionError) << row;
  }
}

TEST(BoardsParser, GeneratedCaptureNumbersBothListsWithOneCounter) {
  testing::BoardCaptureOptions o;
  o.bbs_boards = 30;
  o.ibbs_boards = 10;
  o.skip_share = 0.4;
  o.members = 23;
  o.members_per_page = 7;
  const auto capture = testing::GenerateBoardCapture(o);
  for (int get_ibbs_list : {0, 1}) {
    const auto p = ParseAll(capture.bytes, get_ibbs_list);
    EXPECT_EQ(p.boards, testing::ExpectedBoards(capture, get_ibbs_list));
    EXPECT_EQ(p.users, testing::ExpectedUsers(capture));
  }
  const auto all = ParseAll(capture.bytes, 1);
  ASSERT_EQ(all.boards.size(), 40u);
  EXPECT_EQ(all.boards.front().seq_no, "1");
  EXPECT_EQ(all.boards.back().seq_no, "40");
  EXPECT_EQ(all.users.size(), 23u);
}

TEST(BoardsParser, TwoSectionsOfOneKindContinueTheNumbering) {
  const std::string section = Lines({
      testing::BbsListStartLine(),
      testing::BbsBoardRow(BoardNumberCell(1, BoardNumberForm::Ascii), "BBS", "one"),
      testing::BoardListPrompt("Ｌ"),
      testing::MemberListStartLine(),
      testing::MemberColumnHeader(),
      testing::MemberRow(10, "ten"),
      "",
  });
  const auto p = ParseAll(section + section);
  ASSERT_EQ(p.boards.size(), 2u);
  EXPECT_EQ(p.boards[1].seq_no, "2");
  ASSERT_EQ(p.users.size(), 2u);
  EXPECT_EQ(p.users[1].seq_no, "2");
}

TEST(BoardsParser, CutOffSectionsKeepTheirRows) {
  for (int last = 1; last <= 3; ++last) {
    testing::BoardCaptureOptions o;
    o.seed = 7 + static_cast<uint32_t>(last);
    o.ibbs_list = last >= 2;
    o.member_list = last == 3;
    o.cut_off = true;
    const auto capture = testing::GenerateBoardCapture(o);
    const auto p = ParseAll(capture.bytes, 0);
    EXPECT_EQ(p.boards, testing::ExpectedBoards(capture, 0)) << last;
    EXPECT_EQ(p.users, testing::ExpectedUsers(capture)) << last;
  }
}

TEST(BoardsParser, CaptureWithoutListsGivesNothing) {
  testing::CaptureOptions o;
  o.boards = 4;
  o.messages_per_board = 3;
  const auto p = ParseAll(testing::GenerateCapture(o));
  EXPECT_TRUE(p.boards.empty());
  EXPECT_TRUE(p.users.empty());
}

}  // namespace
}  // namespace tobrisk
