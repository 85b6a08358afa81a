// Bad input: every reader of the program's files takes empty, damaged, enormous
// or hostile content without crashing, reports it or skips it as documented,
// and leaves the files it was not asked to change byte for byte as they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include "bad_input.h"
#include "core/boards/board_files.h"
#include "capture_generator.h"
#include "fakes.h"
#include "core/reading/escape_filter.h"
#include "core/reading/message_text.h"
#include "core/reading/open_logs.h"
#include "core/reading/read_marks.h"
#include "core/settings/net_definitions.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"
#include "core/writing/composition.h"
#include "core/writing/composition_file.h"
#include "core/writing/up_text.h"
#include "writing_test_fixture.h"

namespace tobrisk {
namespace {

using testing::BadContent;
using testing::BadContents;
using testing::Lines;
using testing::WritingFixture;

// The lines a file holds by the capture line model (CR or CR LF ends a line);
// for a captured log, LF when it holds no CR.
size_t CaptureLines(const std::string& bytes, LineEnds ends = LineEnds::Capture) {
  size_t lines = 0;
  LineReader reader(kInMemory, bytes, ends);
  std::string_view line;
  while (reader.Next(line)) ++lines;
  return lines;
}

class BadInput : public ::testing::Test {
 protected:
  static constexpr size_t kBigSize = testing::kHugeLineSize;

  void Put(const std::string& path, const std::string& bytes) { testing::WriteFile(path, bytes); }
  // The 50 MB line, in the fixture's folder (removed with it).
  void PutBig(const std::string& path) { testing::WriteHugeLine(path); }

  WritingFixture fx;
  testing::FakeProgress progress;
};

// ---- captured logs: escape removal, parser, marks, sort, tree ----

TEST_F(BadInput, CaptureLogsGiveNoMessagesAndNoCrash) {
  WorkState& state = fx.state;
  auto open = [&](const std::string& log) {
    state.messages.Clear();
    CutEscapes({log}, state.WorkFile("NOESC.LOG"), progress);
    ReadMessages(state, progress);
    BuildMessageTree(state.messages);
  };
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Put(fx.root + "/ABCD0001.LOG", d.bytes);
    ASSERT_NO_THROW(open(fx.root + "/ABCD0001.LOG"));
    EXPECT_TRUE(state.messages.Empty());
    // NOESC.LOG holds every line of the log, each ended by CR LF.
    const std::string noesc = ReadWholeFile(state.WorkFile("NOESC.LOG"));
    EXPECT_EQ(CaptureLines(noesc), CaptureLines(d.bytes, LineEnds::CaptureOrLf));
  }
  // Only CRs, or only LFs (a capture without CR), are that many empty lines.
  Put(fx.root + "/ABCD0001.LOG", std::string(3, '\r'));
  open(fx.root + "/ABCD0001.LOG");
  EXPECT_EQ(ReadWholeFile(state.WorkFile("NOESC.LOG")), "\r\n\r\n\r\n");
  Put(fx.root + "/ABCD0001.LOG", std::string(3, '\n'));
  open(fx.root + "/ABCD0001.LOG");
  EXPECT_EQ(ReadWholeFile(state.WorkFile("NOESC.LOG")), "\r\n\r\n\r\n");

  PutBig(fx.root + "/ABCD0002.LOG");
  ASSERT_NO_THROW(open(fx.root + "/ABCD0002.LOG"));
  EXPECT_TRUE(state.messages.Empty());
  EXPECT_EQ(ReadWholeFile(state.WorkFile("NOESC.LOG")).size(), kBigSize + 2);
}

TEST_F(BadInput, DamagedLinesInsideABoardStillParse) {
  // NUL bytes, half characters and 20-digit numbers around real headers: the
  // headers are found, numbers that do not fit become -1, nothing crashes.
  std::string header = testing::NewHeader(7, "title", 12, "hand", "12/01");
  std::string huge_no = header;
  const size_t digits = huge_no.find('7');
  huge_no.replace(digits, 1, "99999999999999999999");
  const std::string log = Lines({testing::MainMenuLine(), testing::BbsHeader(1, "b"), header,
                                 std::string("\0\0text\x82", 7), huge_no, std::string(300, '\0'), "#Fc.", "#Fc.\x82"});
  Put(fx.root + "/ABCD0001.LOG", log);
  CutEscapes({fx.root + "/ABCD0001.LOG"}, fx.state.WorkFile("NOESC.LOG"), progress);
  ReadMessages(fx.state, progress);
  ASSERT_GE(fx.state.messages.Size(), 2u);
  bool found_seven = false;
  bool found_missing = false;
  for (const MessageEntry& e : fx.state.messages.Entries()) {
    found_seven |= e.message_no == 7;
    found_missing |= e.message_no == -1;
  }
  EXPECT_TRUE(found_seven);
  EXPECT_TRUE(found_missing);
  EXPECT_NO_THROW(BuildMessageTree(fx.state.messages));
}

// ---- NET.TDT ----

TEST_F(BadInput, NetFileReadsOneNetPerLine) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Put(fx.root + "/NET.TDT", d.bytes);
    NetList nets;
    ASSERT_NO_THROW(LoadNetDefinitions(nets, fx.state.work_dir, fx.prompter));
    EXPECT_EQ(static_cast<size_t>(nets.Count()), CaptureLines(d.bytes));
    EXPECT_EQ(ReadWholeFile(fx.root + "/NET.TDT"), d.bytes);  // reading never writes
  }
  // Too few TABs: the whole line is the UpFileHeader; too many: the fields
  // between the third and the last TAB are lost.
  Put(fx.root + "/NET.TDT", "ABCD\r\nWXYZ\tn\th\tu\tx\ty\r\n");
  NetList nets;
  LoadNetDefinitions(nets, fx.state.work_dir, fx.prompter);
  ASSERT_EQ(nets.Count(), 2);
  EXPECT_EQ(nets.At(0).log_header, "");
  EXPECT_EQ(nets.At(0).up_file_header, "ABCD");
  EXPECT_EQ(nets.At(1).handle_name, "h");
  EXPECT_EQ(nets.At(1).up_file_header, "y");

  PutBig(fx.root + "/NET.TDT");
  NetList big;
  ASSERT_NO_THROW(LoadNetDefinitions(big, fx.state.work_dir, fx.prompter));
  ASSERT_EQ(big.Count(), 1);
  EXPECT_EQ(big.At(0).log_header, "ABCD");
  EXPECT_EQ(big.At(0).up_file_header.size(), kBigSize - testing::kHugeLineHead);
}

// ---- .RAD ----

TEST_F(BadInput, ReadMarkFileSkipsIncompleteLines) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Put(fx.root + "/ABCD.RAD", d.bytes);
    std::vector<ReadMarkRecord> records;
    ASSERT_NO_THROW(ReadReadMarkFile(fx.root + "/ABCD.RAD", records));
    EXPECT_LE(records.size(), CaptureLines(d.bytes));
    EXPECT_EQ(ReadWholeFile(fx.root + "/ABCD.RAD"), d.bytes);
  }
  // Too few TABs: skipped. Too many: the text after the last TAB is the mark.
  // A 20-digit number is kept as text but matches no message.
  Put(fx.root + "/ABCD.RAD",
      "BBS\t1\r\nBBS\t1\t2\r\nBBS\t1\t2\tx\t" + Sjis("○") + "\r\nBBS\t1\t99999999999999999999\t" + Sjis("★") + "\r\n");
  std::vector<ReadMarkRecord> records;
  ReadReadMarkFile(fx.root + "/ABCD.RAD", records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message_no, "2");
  EXPECT_EQ(records[0].mark, Sjis("○"));
  EXPECT_EQ(records[1].message_no, "99999999999999999999");
  fx.AddMessage(BoardType::BBS, 1, "b", 2, 5, "h", 0);
  fx.AddMessage(BoardType::BBS, 1, "b", -1, 5, "h", 0);
  ApplyReadMarks(fx.state.messages, records);
  EXPECT_EQ(fx.state.messages[0].Mark(), Sjis("○"));
  EXPECT_EQ(fx.state.messages[1].Mark(), "");

  PutBig(fx.root + "/ABCD.RAD");
  std::vector<ReadMarkRecord> big;
  ASSERT_NO_THROW(ReadReadMarkFile(fx.root + "/ABCD.RAD", big));
  ASSERT_EQ(big.size(), 1u);
  EXPECT_EQ(big[0].mark.size(), kBigSize - testing::kHugeLineHead);
}

// ---- .BRD / .USR ----

TEST_F(BadInput, BoardAndUserFilesLoadEveryLine) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Put(fx.root + "/ABCD.BRD", d.bytes);
    Put(fx.root + "/ABCD.USR", d.bytes);
    BoardList boards;
    UserList users;
    ASSERT_NO_THROW(ReadExistingBoardUserFiles(boards, users, fx.state.work_dir, "ABCD", fx.prompter));
    EXPECT_EQ(boards.size(), CaptureLines(d.bytes));
    EXPECT_EQ(users.size(), CaptureLines(d.bytes));
    EXPECT_EQ(ReadWholeFile(fx.root + "/ABCD.BRD"), d.bytes);
    EXPECT_EQ(ReadWholeFile(fx.root + "/ABCD.USR"), d.bytes);
  }
  EXPECT_TRUE(fx.prompter.boxes.empty());
  // Too few TABs leave the middle fields empty; too many drop the extra ones.
  Put(fx.root + "/ABCD.BRD", "1\tname\r\n1\t2\tBBS\tx\ty\tname\r\n");
  BoardList boards;
  ReadBoardFile(boards, fx.state.work_dir, "ABCD", fx.prompter);
  ASSERT_EQ(boards.size(), 2u);
  EXPECT_EQ(boards[0].seq_no, "1");
  EXPECT_EQ(boards[0].board_no, "");
  EXPECT_EQ(boards[0].board_name, "name");
  EXPECT_EQ(boards[1].board_type, "BBS");
  EXPECT_EQ(boards[1].board_name, "name");

  PutBig(fx.root + "/ABCD.USR");
  UserList users;
  ASSERT_NO_THROW(ReadUserFile(users, fx.state.work_dir, "ABCD", fx.prompter));
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].handle_name.size(), kBigSize - testing::kHugeLineHead);
}

// ---- composition files read back ----

TEST_F(BadInput, CompositionFilesReadBack) {
  WriteEntry entry{"1", "BBS", "1", "b", "0", "t", "NEW", "0305101010.TXT", "0"};
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Put(fx.TmpFile(entry.temp_file_name), d.bytes);
    ASSERT_NO_THROW(ReadFirstLine(fx.TmpFile(entry.temp_file_name)));
    CompositionText text;
    ASSERT_NO_THROW(text = ReadCompositionFile(fx.TmpFile(entry.temp_file_name)));
    if (!text.Usable()) {
      // Refused with a message naming the file, never written.
      EXPECT_NE(CompositionRefusalText(entry.temp_file_name, text).find(entry.temp_file_name), std::string::npos);
      continue;
    }
    std::string block;
    ASSERT_NO_THROW(block = UpFileBlock(fx.state, entry, text.sjis, fx.clock));
    EXPECT_TRUE(block.ends_with("\r\n/ES\r\nE\r\n"));
  }
  PutBig(fx.TmpFile(entry.temp_file_name));
  EXPECT_EQ(ReadFirstLine(fx.TmpFile(entry.temp_file_name)).size(), kBigSize);
}

TEST_F(BadInput, CompositionFileThatIsAFolder) {
  // Reading it is a file error, never a crash.
  CreateDirectory(fx.TmpFile("0305101010.TXT"));
  EXPECT_THROW(ReadFirstLine(fx.TmpFile("0305101010.TXT")), IoError);

  // The up-text output skips it as a missing composition file; with no other
  // entry nothing is written.
  fx.state.writes.push_back({"1", "BBS", "1", "b", "0", "t", "NEW", "0305101010.TXT", "0"});
  EXPECT_FALSE(WriteUpFile(fx.state, fx.ports));
  ASSERT_EQ(fx.prompter.boxes.size(), 2u);
  EXPECT_EQ(fx.prompter.boxes[0].text,
            Sjis("メッセージテンポファイル[0305101010.TXT]が存在しません。\n\rスキップします。"));
  EXPECT_FALSE(FileExists(UpFilePath(fx.state, fx.clock.Now())));

  // Editing it again finds no edited message.
  fx.prompter.boxes.clear();
  EditMessage(fx.state, fx.ports, fx.view, 0, false);
  ASSERT_EQ(fx.prompter.boxes.size(), 1u);
  EXPECT_EQ(fx.prompter.boxes[0].text, Sjis("編集されたメッセージが存在しません。"));
  EXPECT_EQ(fx.state.writes[0].title, "t");

  // A new composition whose clock name is taken by a folder takes the next free
  // name and leaves the folder alone.
  fx.state.boards.push_back({"1", "1", "BBS", "b"});
  fx.clock.now = {1997, 3, 5, 10, 10, 20};
  CreateDirectory(fx.TmpFile("0305101020.TXT"));
  fx.editor.edit = [](const std::string& path) { testing::WriteFile(path, "T\r\n"); };
  EXPECT_NO_THROW(NewMessage(fx.state, fx.ports, fx.view, 0));
  EXPECT_TRUE(DirectoryExists(fx.TmpFile("0305101020.TXT")));
  ASSERT_EQ(fx.state.writes.size(), 2u);
  EXPECT_EQ(fx.state.writes[1].temp_file_name, "0305101021.TXT");
  EXPECT_FALSE(fx.state.editor_busy);
}

// ---- NOESC.LOG changed on disk after parsing ----

TEST_F(BadInput, TextOffsetBeyondTheEndOfTheWorkFile) {
  const std::string noesc = fx.state.WorkFile("NOESC.LOG");
  Put(noesc, "line one\r\n" + Sjis("二行目") + "\r\n");
  const size_t index = fx.AddMessage(BoardType::BBS, 1, "b", 5, 7, "h", 1000000);

  const MessageText past = ReadMessageText(fx.state, index);
  EXPECT_TRUE(past.offset_past_end);
  EXPECT_EQ(past.bytes, "");
  // Exactly at the end, and inside a double-byte character: no crash.
  EXPECT_EQ(ReadMessageText(noesc, ReadWholeFile(noesc).size()).bytes, "");
  EXPECT_NO_THROW(ReadMessageText(noesc, 11));

  // The reply's file gets the title line and the header, and no quote.
  PrepareQuotedFile(fx.state, "a.TXT", 1000000, index, HeaderKind::Res);
  const std::string reply = ReadWholeFile(fx.TmpFile("a.TXT"));
  EXPECT_EQ(reply.substr(0, TitlePlaceholder().size()), TitlePlaceholder());
  EXPECT_EQ(reply.find('>'), std::string::npos);

  // NOESC.LOG deleted meanwhile: a file error, the old composition file kept.
  Put(fx.TmpFile("b.TXT"), "keep");
  ::unlink(noesc.c_str());
  EXPECT_THROW(ReadMessageText(fx.state, index), IoError);
  EXPECT_THROW(PrepareQuotedFile(fx.state, "b.TXT", 0, index, HeaderKind::Res), IoError);
  EXPECT_EQ(ReadWholeFile(fx.TmpFile("b.TXT")), "keep");
}

// ---- the external editor ----

TEST_F(BadInput, EditorThatDoesNotExistOrDoesNotWait) {
  fx.state.boards.push_back({"1", "1", "BBS", "b"});
  // Missing editor: the plain message, no entry, the file stays in tmp.
  fx.editor.starts = false;
  NewMessage(fx.state, fx.ports, fx.view, 0);
  EXPECT_TRUE(fx.state.writes.empty());
  EXPECT_EQ(fx.view.log.back(), "plain " + Sjis("指定エディタが起動出来ませんでした。"));
  EXPECT_TRUE(FileExists(fx.TmpFile("0305123456.TXT")));
  EXPECT_FALSE(fx.state.editor_busy);

  // An editor that returns at once without touching the file (it handed the
  // file to an instance already running): the user is told that it did not
  // wait and how to make it wait; no entry, the file stays in tmp.
  fx.editor.starts = true;
  fx.clock.now.second = 57;
  NewMessage(fx.state, fx.ports, fx.view, 0);
  EXPECT_TRUE(fx.state.writes.empty());
  ASSERT_EQ(fx.prompter.boxes.size(), 1u);
  EXPECT_EQ(fx.prompter.boxes.back().kind, "error");
  const std::string did_not_wait = Sjis(
      "エディタがファイルの編集を待たずに終了しました。\n\rメッセージは変更されていません。\n\r"
      "実行エディタ名に、編集が終わるまで待つオプション（--wait や -w など）を付けて下さい。");
  EXPECT_EQ(fx.prompter.boxes.back().text, did_not_wait);
  EXPECT_TRUE(FileExists(fx.TmpFile("0305123457.TXT")));
  EXPECT_FALSE(fx.state.editor_busy);

  // The same when a written message is edited again: the entry stays as it is.
  fx.editor.edit = [](const std::string& path) { testing::WriteFile(path, "Title\r\nBody\r\n"); };
  fx.clock.now.second = 58;
  NewMessage(fx.state, fx.ports, fx.view, 0);
  ASSERT_EQ(fx.state.writes.size(), 1u);
  fx.editor.edit = nullptr;
  fx.view.log.clear();
  EditMessage(fx.state, fx.ports, fx.view, 0, true);
  EXPECT_EQ(fx.state.writes[0].title, "Title");
  EXPECT_EQ(fx.prompter.boxes.back().text, did_not_wait);
  EXPECT_TRUE(fx.view.log.empty());
  EXPECT_EQ(ReadWholeFile(fx.TmpFile("0305123458.TXT")), "Title\r\nBody\r\n");
}

// ---- an unwritable work folder, a missing UpDir ----

// A folder "below" a regular file can be created and written by nobody, root
// included (ENOTDIR), unlike a folder without write permission.
TEST_F(BadInput, WorkFolderBelowARegularFile) {
  Put(fx.root + "/plain", "file");
  WorkState state;
  testing::MemoryStore store;
  fx.ports.store = &store;
  EXPECT_THROW(StartUp(state, fx.ports, fx.root + "/plain/sub"), IoError);
  EXPECT_EQ(state.work_dir, fx.root + "/plain/sub/");
  ASSERT_EQ(fx.prompter.boxes.size(), 1u);
  EXPECT_EQ(fx.prompter.boxes[0].text, Sjis("[NET.TDT] ファイルが見つかりませんでした。"));

  Put(fx.root + "/ABCD0001.LOG", Lines({testing::MainMenuLine()}));
  EXPECT_THROW(CutEscapes({fx.root + "/ABCD0001.LOG"}, state.WorkFile("NOESC.LOG"), progress), IoError);
  state.nets.Append({"ABCD", "n", "h", "U"});
  state.read_marks_header = "ABCD";
  state.read_marks.push_back({"BBS", "1", "2", "x"});
  EXPECT_THROW(SaveReadMarks(state), IoError);
  EXPECT_THROW(WriteBoardFile({{"1", "1", "BBS", "b"}}, state.work_dir, "ABCD"), IoError);
  EXPECT_THROW(SaveNetDefinitions(state.nets, state.work_dir), IoError);
  state.tmp_dir = state.work_dir + "tmp/";
  EXPECT_THROW(PrepareBlankFile(state, "a.TXT"), IoError);
  EXPECT_EQ(ReadWholeFile(fx.root + "/plain"), "file");
}

TEST_F(BadInput, UpDirMissingOrBelowAFile) {
  Put(fx.TmpFile("a.TXT"), "title\r\nbody\r\n");
  fx.state.writes.push_back({"1", "BBS", "1", "b", "0", "title", "NEW", "a.TXT", "0"});
  fx.state.pending_count = 1;
  Put(fx.root + "/plain", "file");
  for (const std::string& dir : {fx.root + "/no such folder", fx.root + "/plain/sub"}) {
    SCOPED_TRACE(dir);
    fx.state.settings.up_dir = dir;
    try {
      WriteUpFile(fx.state, fx.ports);
      ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
      // The message names the UpFile, not a temporary file.
      EXPECT_EQ(e.Path(), dir + "/UPL0305.TXT");
    }
    EXPECT_EQ(fx.state.writes.size(), 1u);
    EXPECT_EQ(fx.state.pending_count, 1);
  }
  EXPECT_EQ(ReadWholeFile(fx.root + "/plain"), "file");
  EXPECT_EQ(ReadWholeFile(fx.TmpFile("a.TXT")), "title\r\nbody\r\n");
}

}  // namespace
}  // namespace tobrisk
