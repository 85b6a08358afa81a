#include <gtest/gtest.h>

#include <filesystem>

#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/read_marks.h"
#include "core/reading/work_state.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

class ReadMarksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TrailingSeparator(testing::MakeTempDir());
    state_.work_dir = dir_;
    state_.settings.read_type_max = 1000;
    state_.nets.Append({"ABCD", "net", "me", "UP"});
  }
  void TearDown() override { testing::RemoveTree(dir_); }

  void AddEntry(BoardType type, int32_t board_list_no, int32_t board_no, int32_t message_no) {
    MessageEntry e;
    e.context = state_.messages.Context(
        {.board_list_no = board_list_no, .board_no = board_no, .mark = state_.messages.Intern(""), .board_type = type});
    e.message_no = message_no;
    state_.messages.Append(e);
  }
  std::vector<std::string> Marks() const {
    std::vector<std::string> marks;
    for (const auto& e : state_.messages.Entries()) marks.emplace_back(e.Mark());
    return marks;
  }

  std::string dir_;
  WorkState state_;
  testing::FakePrompter prompter_;
  const std::string read_ = Sjis("○");
  const std::string replied_ = Sjis("●");
  const std::string checked_ = Sjis("★");
};

TEST_F(ReadMarksTest, FileRoundTripAndIncompleteLines) {
  testing::WriteFile(dir_ + "ABCD.RAD", "BBS\t12\t345\t" + read_ +
                                            "\r\n"
                                            "\r\n"                  // empty: skipped
                                            "CUG\t1\t2\r\n"         // two TABs: skipped
                                            "IBBS\t3\t4\tjunk\t" +  // the fourth field is ignored
                                            checked_ +
                                            "\rMAIL\t-100\t-2\t\n\x1a"
                                            "BBS\t9\t9\tx\r\n");
  LoadReadMarks(state_, "ABCD", prompter_);
  EXPECT_EQ(state_.read_marks_header, "ABCD");
  EXPECT_EQ(state_.read_marks,
            (std::vector<ReadMarkRecord>{
                {"BBS", "12", "345", read_}, {"IBBS", "3", "4", checked_}, {"MAIL", "-100", "-2", "\n"}}));
  SaveReadMarks(state_);
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.RAD"),
            "BBS\t12\t345\t" + read_ + "\r\nIBBS\t3\t4\t" + checked_ + "\r\nMAIL\t-100\t-2\t\n\r\n");
}

TEST_F(ReadMarksTest, SaveKeepsTheNewestReadTypeMaxRecords) {
  LoadReadMarks(state_, "ABCD", prompter_);  // no file yet: an empty store of this net
  for (int i = 0; i < 1004; ++i) state_.read_marks.push_back({"BBS", "1", std::to_string(i), read_});
  SaveReadMarks(state_);
  ASSERT_EQ(state_.read_marks.size(), 1000u);
  EXPECT_EQ(state_.read_marks.front().message_no, "4");
  std::vector<ReadMarkRecord> back;
  ReadReadMarkFile(dir_ + "ABCD.RAD", back);
  EXPECT_EQ(back, state_.read_marks);

  // 0 or less: every record goes, and the file is emptied.
  state_.settings.read_type_max = 0;
  SaveReadMarks(state_);
  EXPECT_TRUE(state_.read_marks.empty());
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.RAD"), "");
}

TEST_F(ReadMarksTest, EmptyStoreEmptiesTheFileAndNoNetLeavesFilesAlone) {
  // The last mark cleared: the empty store empties the file, so the mark does
  // not come back at the next open.
  testing::WriteFile(dir_ + "ABCD.RAD", "BBS\t1\t10\t" + read_ + "\r\n");
  LoadReadMarks(state_, "ABCD", prompter_);
  AddEntry(BoardType::BBS, 1, 1, 10);
  SetReadMark(state_, 0, "");
  SaveReadMarks(state_);
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.RAD"), "");
  LoadReadMarks(state_, "ABCD", prompter_);
  EXPECT_TRUE(state_.read_marks.empty());
  // Without a file, an empty store creates none.
  state_.read_marks_header = "EFGH";
  SaveReadMarks(state_);
  EXPECT_FALSE(FileExists(dir_ + "EFGH.RAD"));
  testing::WriteFile(dir_ + "ABCD.RAD", "keep me\r\n");

  // Loaded for a header that names no net: never written back anywhere.
  testing::WriteFile(dir_ + "WXYZ.RAD", "BBS\t1\t1\tx\r\n");
  LoadReadMarks(state_, "WXYZ", prompter_);
  EXPECT_EQ(state_.read_marks_header, "");
  ASSERT_EQ(state_.read_marks.size(), 1u);
  state_.read_marks.push_back({"BBS", "2", "2", "y"});
  SaveReadMarks(state_);
  EXPECT_EQ(ReadWholeFile(dir_ + "WXYZ.RAD"), "BBS\t1\t1\tx\r\n");
  EXPECT_EQ(ReadWholeFile(dir_ + "ABCD.RAD"), "keep me\r\n");
}

TEST_F(ReadMarksTest, ApplyMarks) {
  AddEntry(BoardType::BBS, 12, 12, 345);
  AddEntry(BoardType::MAIL, -100, -100, -2);
  AddEntry(BoardType::BBS, 7, 12, 345);    // another BoardListNo, same triple
  AddEntry(BoardType::IBBS, 12, 12, 345);  // another type
  AddEntry(BoardType::BBS, 12, 12, 346);
  AddEntry(BoardType::MAIL, -100, -100, -2);
  EXPECT_TRUE(ApplyReadMarks(
      state_.messages, {{"BBS", "12", "345", read_}, {"BBS", "12", "345", checked_}, {"BBS", "012", "346", replied_}}));
  EXPECT_EQ(Marks(), (std::vector<std::string>{read_, "-", read_, "", "", "-"}));
  // Only mails, or only the marks the board messages already have: no board mark changed.
  EXPECT_FALSE(ApplyReadMarks(state_.messages, {{"BBS", "12", "345", read_}}));
  EXPECT_FALSE(ApplyReadMarks(state_.messages, {{"MAIL", "-100", "-2", checked_}}));
  EXPECT_EQ(Marks()[1], checked_);
  EXPECT_EQ(Marks()[5], checked_);

  // Numbers that share their low 16 bits (1, 65537, and the missing number -1,
  // 0xFFFF...FFFF) each match only their own records.
  state_.messages.Clear();
  AddEntry(BoardType::BBS, 1, 1, 1);
  AddEntry(BoardType::BBS, 1, 1, 65537);
  AddEntry(BoardType::BBS, 1, 1, 65535);
  AddEntry(BoardType::BBS, 1, 1, -1);
  EXPECT_TRUE(ApplyReadMarks(state_.messages, {{"BBS", "1", "65537", read_}, {"BBS", "1", "-1", checked_}}));
  EXPECT_EQ(Marks(), (std::vector<std::string>{"", read_, "", checked_}));
}

TEST_F(ReadMarksTest, SetReadMarkKeepsOneRecordAtTheEnd) {
  AddEntry(BoardType::BBS, 1, 1, 10);
  AddEntry(BoardType::CUG, 2, 2, 20);
  AddEntry(BoardType::BBS, 1, 1, 10);  // read twice
  SetReadMark(state_, 0, read_);
  SetReadMark(state_, 1, checked_);
  SetReadMark(state_, 2, replied_);  // same triple as entry 0: replaces its record
  EXPECT_EQ(state_.read_marks,
            (std::vector<ReadMarkRecord>{{"CUG", "2", "20", checked_}, {"BBS", "1", "10", replied_}}));
  EXPECT_EQ(Marks(), (std::vector<std::string>{read_, checked_, replied_}));
  SetReadMark(state_, 1, "");  // NotRead leaves no record
  EXPECT_EQ(state_.read_marks, (std::vector<ReadMarkRecord>{{"BBS", "1", "10", replied_}}));
  EXPECT_EQ(Marks()[1], "");
}

TEST_F(ReadMarksTest, FileNotReadToItsEndIsNeverSavedOverIt) {
  // A .RAD whose reading fails (an input/output error).
  std::filesystem::create_symlink("/proc/self/mem", dir_ + "ABCD.RAD");
  LoadReadMarks(state_, "ABCD", prompter_);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].kind, "error");
  EXPECT_NE(prompter_.boxes[0].text.find("[ABCD.RAD] " + Sjis("ファイルを最後まで読み込めませんでした。")),
            std::string::npos);
  EXPECT_EQ(state_.read_marks_header, "");
  AddEntry(BoardType::BBS, 1, 1, 10);
  SetReadMark(state_, 0, read_);
  EXPECT_NO_THROW(SaveReadMarks(state_));  // the store is not written anywhere
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ + "ABCD.RAD"));
}

TEST_F(ReadMarksTest, UnwritableFolderIsAnIoErrorAndKeepsTheStore) {
  LoadReadMarks(state_, "ABCD", prompter_);
  state_.read_marks.push_back({"BBS", "1", "1", read_});
  state_.work_dir = dir_ + "missing/";
  EXPECT_THROW(SaveReadMarks(state_), IoError);
  EXPECT_EQ(state_.read_marks.size(), 1u);
}

}  // namespace
}  // namespace tobrisk
