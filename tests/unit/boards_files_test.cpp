#include <gtest/gtest.h>

#include "board_capture_generator.h"
#include "core/boards/board_files.h"
#include "capture_generator.h"
#include "fakes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

class BoardsFiles : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TrailingSeparator(testing::MakeTempDir("boards-files")); }
  void TearDown() override { testing::RemoveTree(dir_); }
  std::string dir_;
  testing::FakePrompter prompter_;
};

TEST_F(BoardsFiles, NamesWithBlanksAndDoubleByteEndsRoundTrip) {
  // Names that begin or end with a double-byte character, or keep trailing blanks.
  const BoardList boards = {
      {"1", "0", "BBS", testing::PadRight(Sjis("フリー"), 20)},
      {"2", "12", "LBBS", Sjis("雑談ボード全般です。")},
      {"3", "7", "CUG", Sjis("ﾃｽﾄ  ") + "ok" + Sjis("★")},
      {"4", "99", "IBBS", "  leading and trailing  "},
  };
  const UserList users = {
      {"1", "42", Sjis("ＭＩＫＥ＿ＳＡＮ")},
      {"2", "7", testing::PadRight(Sjis("たろう"), 16)},
  };
  WriteBoardFile(boards, dir_, "ABCD");
  WriteUserFile(users, dir_, "ABCD");
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.BRD"), "1\t0\tBBS\t" + boards[0].board_name + "\r\n2\t12\tLBBS\t" +
                                                  boards[1].board_name + "\r\n3\t7\tCUG\t" + boards[2].board_name +
                                                  "\r\n4\t99\tIBBS\t  leading and trailing  \r\n");
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.USR"),
            "1\t42\t" + users[0].handle_name + "\r\n2\t7\t" + users[1].handle_name + "\r\n");

  BoardList boards_back;
  UserList users_back;
  ReadBoardFile(boards_back, dir_, "ABCD", prompter_);
  ReadUserFile(users_back, dir_, "ABCD", prompter_);
  EXPECT_EQ(boards_back, boards);
  EXPECT_EQ(users_back, users);
  EXPECT_TRUE(prompter_.boxes.empty());

  // Reading appends: the caller empties the list first.
  ReadBoardFile(boards_back, dir_, "ABCD", prompter_);
  EXPECT_EQ(boards_back.size(), 8u);
}

TEST_F(BoardsFiles, EmptyListsGiveEmptyFilesAndReadNothing) {
  WriteBoardFile({{"1", "1", "BBS", "old"}}, dir_, "ABCD");
  WriteBoardFile({}, dir_, "ABCD");
  WriteUserFile({}, dir_, "ABCD");
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.BRD"), "");
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.USR"), "");
  BoardList boards;
  UserList users;
  ReadBoardFile(boards, dir_, "ABCD", prompter_);
  ReadUserFile(users, dir_, "ABCD", prompter_);
  EXPECT_TRUE(boards.empty());
  EXPECT_TRUE(users.empty());
}

TEST_F(BoardsFiles, ExtraFieldsAreDroppedAndMissingOnesEmpty) {
  testing::WriteFile(dir_ + "ABCD.BRD",
                     "1\t2\tBBS\tdropped\tName\r\n"  // five fields: the fourth is dropped
                     "3\t4\tCUG\tx\ty\tLast\r\n"     // six fields
                     "5\tOnly\r\n"                   // two fields: no number, no type
                     "\r\n");                        // an empty line
  testing::WriteFile(dir_ + "ABCD.USR", "1\t2\tdropped\tHandle\r\n9\r\n");
  BoardList boards;
  UserList users;
  ReadBoardFile(boards, dir_, "ABCD", prompter_);
  ReadUserFile(users, dir_, "ABCD", prompter_);
  const BoardList expected_boards = {
      {"1", "2", "BBS", "Name"}, {"3", "4", "CUG", "Last"}, {"5", "", "", "Only"}, {"", "", "", ""}};
  const UserList expected_users = {{"1", "2", "Handle"}, {"", "", "9"}};
  EXPECT_EQ(boards, expected_boards);
  EXPECT_EQ(users, expected_users);
}

TEST_F(BoardsFiles, MissingFileIsReportedAndListKept) {
  BoardList boards = {{"1", "1", "BBS", "kept"}};
  UserList users = {{"1", "1", "kept"}};
  ReadBoardFile(boards, dir_, "WXYZ", prompter_);
  ReadUserFile(users, dir_, "wxyz", prompter_);
  ASSERT_EQ(prompter_.boxes.size(), 2u);
  EXPECT_EQ(prompter_.boxes[0].kind, "error");
  EXPECT_EQ(prompter_.boxes[0].text, Sjis("[WXYZ.BRD] ファイルが見つかりませんでした。"));
  EXPECT_EQ(prompter_.boxes[1].text, Sjis("[wxyz.USR] ファイルが見つかりませんでした。"));
  EXPECT_EQ(boards.size(), 1u);
  EXPECT_EQ(users.size(), 1u);
}

TEST_F(BoardsFiles, RewriteLeavesNothingOfTheOldFile) {
  BoardList many;
  for (int i = 1; i <= 50; ++i) many.push_back({std::to_string(i), std::to_string(i), "BBS", "board"});
  WriteBoardFile(many, dir_, "ABCD");
  WriteBoardFile({{"1", "3", "CUG", "only"}}, dir_, "ABCD");
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.BRD"), "1\t3\tCUG\tonly\r\n");
}

}  // namespace
}  // namespace tobrisk
