#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "core/text/io_error.h"
#include "core/writing/composition.h"
#include "core/writing/composition_file.h"
#include "writing_test_fixture.h"

namespace tobrisk {
namespace {

using Log = std::vector<std::string>;

class Composition : public ::testing::Test {
 protected:
  Composition() {
    // NOESC.LOG: one board message by はなこ, one mail, both followed by a header.
    const std::string before = "#Fc.1\r\n";
    const std::string text = Sjis("こんにちは。\r\n");
    testing::WriteFile(f.state.WorkFile("NOESC.LOG"),
                       before + text + "#Fc.2\r\n" + Sjis("メール本文\r\n") + "#Fc.3\r\n");
    message = f.AddMessage(BoardType::BBS, 12, Sjis("雑談ボード"), 345, 10, Sjis("はなこ"), before.size());
    mail = f.AddMessage(BoardType::MAIL, -100, Sjis("新着メール"), -2, 4321, Sjis("じろう"),
                        before.size() + text.size() + 7, "-");
    f.state.boards = {{"1", "12", "BBS", Sjis("雑談ボード          ")},
                      {"2", "0", "CUG", Sjis("ＣＵＧ              ")},
                      {"3", "3", "IBBS", Sjis("アイビービーエス    ")}};
    f.state.users = {{"1", "1234", Sjis("たろう          ")}};
    // By default the editor writes a title and one body line, recording what it saw.
    f.editor.edit = [this](const std::string& path) {
      seen_busy = f.state.editor_busy;
      seen_log = f.view.log;
      seen_file = ReadWholeFile(path);
      seen_mark = std::string(f.state.messages[message].Mark());
      testing::WriteFile(path, Sjis("題名\nbody\n"));
    };
  }

  std::string Name() const { return CompositionFileName(f.clock.now); }
  std::string Path() const { return f.TmpFile(Name()); }

  testing::WritingFixture f;
  size_t message = 0;
  size_t mail = 0;
  bool seen_busy = false;
  Log seen_log;
  std::string seen_file;
  std::string seen_mark;
};

TEST_F(Composition, NewMessageOnABoard) {
  NewMessage(f.state, f.ports, f.view, 1);
  ASSERT_EQ(f.editor.calls.size(), 1u);
  EXPECT_EQ(f.editor.calls[0].editor, "/usr/bin/editor");
  EXPECT_EQ(f.editor.calls[0].file, f.root + "/tmp/0305123456.TXT");
  EXPECT_TRUE(seen_busy);
  EXPECT_EQ(seen_log, Log{"net off"});
  EXPECT_EQ(seen_file, Sjis("{ここにタイトルを書いて下さい}\r\n"));
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0], (WriteEntry{"1", "CUG", "0", Sjis("ＣＵＧ              "), "0", Sjis("題名"), "NEW",
                                           "0305123456.TXT", "0"}));
  EXPECT_EQ(f.state.pending_count, 1);
  EXPECT_FALSE(f.state.editor_busy);
  EXPECT_EQ(f.view.log, (Log{"net off", "add 0", "uptext on"}));
  EXPECT_TRUE(f.prompter.boxes.empty());
}

TEST_F(Composition, NewMailToAMember) {
  f.state.writes.push_back({"1", "BBS", "1", "b", "0", "earlier", "NEW", "x.TXT", "1"});
  NewMail(f.state, f.ports, f.view, 0);
  ASSERT_EQ(f.state.writes.size(), 2u);
  EXPECT_EQ(f.state.writes[1],
            (WriteEntry{"2", "MAIL", "1234", Sjis("MAIL : たろう          "), "0", Sjis("題名"), "NEW", Name(), "0"}));
  EXPECT_EQ(f.view.log, (Log{"net off", "add 1", "uptext on"}));
}

TEST_F(Composition, CompositionsWithinOneSecondKeepTheirOwnFiles) {
  // The clock stands still (as with SOURCE_DATE_EPOCH): each composition still
  // gets a file of its own, the next free second, and no text is overwritten.
  f.clock.now = {1999, 12, 31, 23, 59, 59};
  int n = 0;
  f.editor.edit = [&](const std::string& path) { testing::WriteFile(path, "title " + std::to_string(++n) + "\n"); };
  NewMessage(f.state, f.ports, f.view, 0);
  NewMessage(f.state, f.ports, f.view, 0);
  NewMail(f.state, f.ports, f.view, 0);
  ASSERT_EQ(f.state.writes.size(), 3u);
  EXPECT_EQ(f.state.writes[0].temp_file_name, "1231235959.TXT");
  EXPECT_EQ(f.state.writes[1].temp_file_name, "0101000000.TXT");  // the carry runs into the next year
  EXPECT_EQ(f.state.writes[2].temp_file_name, "0101000001.TXT");
  EXPECT_EQ(ReadWholeFile(f.TmpFile("1231235959.TXT")), "title 1\n");
  EXPECT_EQ(ReadWholeFile(f.TmpFile("0101000000.TXT")), "title 2\n");
}

TEST_F(Composition, AFileAnotherProcessTookIsNeverShared) {
  // Another window (or tobrisk-cli quote) on this work folder took the clock's
  // name a moment ago: its file is left alone and this composition takes the
  // next free name.
  testing::WriteFile(Path(), "other process\r\n");
  ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0].temp_file_name, "0305123457.TXT");
  EXPECT_EQ(ReadWholeFile(Path()), "other process\r\n");
  EXPECT_EQ(ReadWholeFile(f.TmpFile("0305123457.TXT")), Sjis("題名\nbody\n"));
  // Each reservation creates its file at once, so the next one moves on too.
  EXPECT_EQ(ReserveCompositionFile(f.state, f.clock.now), "0305123458.TXT");
  EXPECT_EQ(ReserveCompositionFile(f.state, f.clock.now), "0305123459.TXT");
  EXPECT_EQ(ReadWholeFile(f.TmpFile("0305123459.TXT")), "");
}

TEST_F(Composition, ResMessageQuotesAndMarksOnceTheReplyIsInTheWriteList) {
  f.state.read_marks = {{"BBS", "12", "345", Sjis("★")}, {"BBS", "12", "346", Sjis("○")}};
  ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::Tree);
  // Nothing is marked while the editor runs.
  EXPECT_EQ(seen_log, Log{});
  EXPECT_EQ(seen_mark, "");
  EXPECT_EQ(f.state.messages[message].Mark(), Sjis("●"));
  // The store's record moved to the end with the new mark.
  EXPECT_EQ(f.state.read_marks,
            (std::vector<ReadMarkRecord>{{"BBS", "12", "346", Sjis("○")}, {"BBS", "12", "345", Sjis("●")}}));
  EXPECT_EQ(seen_file, Sjis("{ここにタイトルを書いて下さい}\r\n[ はなこさんへのレスです. BBS12 / Fc.345 ]\r\n\r\n"
                            ">こんにちは。\r\n"));
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0],
            (WriteEntry{"1", "BBS", "12", Sjis("雑談ボード"), "345", Sjis("題名"), "RES", Name(), "0"}));
  EXPECT_EQ(f.view.log, (Log{"add 0", "mark 0 tree", "uptext on"}));
}

TEST_F(Composition, ReplyMarkOnlyWhenNotAlreadyReplied) {
  f.state.messages.SetMark(message, Sjis("●"));
  ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  EXPECT_EQ(f.view.log, (Log{"add 0", "uptext on"}));
  EXPECT_TRUE(f.state.read_marks.empty());
  for (const char* mark : {"○", "★", ""}) {
    f.state.messages.SetMark(message, Sjis(mark));
    f.view.log.clear();
    ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
    EXPECT_EQ(f.view.log, (Log{"add " + std::to_string(f.state.writes.size() - 1), "mark 0 list", "uptext on"}))
        << mark;
  }
}

TEST_F(Composition, ResMailQuotesWithoutHeaderAndNeverMarks) {
  ResMail(f.state, f.ports, f.view, mail, ReplyOrigin::List);
  EXPECT_EQ(seen_file, Sjis("{ここにタイトルを書いて下さい}\r\n>メール本文\r\n"));
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0],
            (WriteEntry{"1", "MAIL", "4321", Sjis("MAIL : じろう"), "0", Sjis("題名"), "RES", Name(), "0"}));
  EXPECT_EQ(f.view.log, (Log{"add 0", "uptext on"}));
  EXPECT_EQ(f.state.messages[mail].Mark(), "-");
  EXPECT_TRUE(f.state.read_marks.empty());
}

TEST_F(Composition, MoveResMessageToTheChosenBoard) {
  f.view.chosen_seq_no = 2;
  MoveResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  EXPECT_EQ(seen_log, (Log{"choose"}));
  EXPECT_EQ(
      seen_file,
      Sjis("{ここにタイトルを書いて下さい}\r\n[ 雑談ボード より、はなこさんへの移動レスです. BBS12 / Fc.345 ]\r\n\r\n"
           ">こんにちは。\r\n"));
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0],
            (WriteEntry{"1", "CUG", "0", Sjis("ＣＵＧ              "), "-1", Sjis("題名"), "Move", Name(), "0"}));
}

TEST_F(Composition, MoveResRefusedWithoutBoardListAndCancelledChooser) {
  f.state.boards.clear();
  f.state.editor_busy = false;
  MoveResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  ASSERT_EQ(f.prompter.boxes.size(), 1u);
  EXPECT_EQ(f.prompter.boxes[0].kind, "error");
  EXPECT_EQ(f.prompter.boxes[0].text, Sjis("ボード一覧の取得が行われていないため、移動レスを実行出来ません。"));
  EXPECT_TRUE(f.view.log.empty());
  EXPECT_TRUE(f.editor.calls.empty());

  // A cancelled chooser: nothing changes, EditorBusy is clear again, and a
  // second moved reply is accepted at once.
  f.state.boards = {{"1", "12", "BBS", "b"}};
  f.view.chosen_seq_no = -1;
  MoveResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  EXPECT_FALSE(f.state.editor_busy);
  EXPECT_EQ(f.view.log, Log{"choose"});
  EXPECT_TRUE(f.editor.calls.empty());
  EXPECT_EQ(f.state.messages[message].Mark(), "");
  f.view.chosen_seq_no = 1;
  MoveResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  EXPECT_EQ(f.state.writes.size(), 1u);
  // A SeqNo the list does not hold counts as a cancel.
  f.view.chosen_seq_no = 9;
  MoveResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  EXPECT_EQ(f.state.writes.size(), 1u);
}

TEST_F(Composition, EditorThatDoesNotStart) {
  f.editor.starts = false;
  ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List);
  EXPECT_EQ(f.view.log, (Log{"plain " + Sjis("指定エディタが起動出来ませんでした。")}));
  EXPECT_EQ(f.state.messages[message].Mark(), "");  // no reply, no mark
  EXPECT_TRUE(f.prompter.boxes.empty());
  EXPECT_EQ(f.prompter.beeps, 0);
  EXPECT_TRUE(FileExists(Path()));  // the prepared file stays
  EXPECT_TRUE(f.state.writes.empty());
  EXPECT_EQ(f.state.pending_count, 0);
  EXPECT_FALSE(f.state.editor_busy);
}

TEST_F(Composition, FileDeletedInTheEditorAbortsWithTheOperationsWord) {
  f.editor.edit = [](const std::string& path) { std::remove(path.c_str()); };
  f.view.chosen_seq_no = 1;
  struct Case {
    std::function<void()> run;
    const char* word;
  };
  const Case cases[] = {
      {[&] { NewMessage(f.state, f.ports, f.view, 0); }, "新規書き込み"},
      {[&] { NewMail(f.state, f.ports, f.view, 0); }, "新規メール書き込み"},
      {[&] { ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List); }, "レス"},
      {[&] { ResMail(f.state, f.ports, f.view, mail, ReplyOrigin::List); }, "レスメール"},
      {[&] { MoveResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List); }, "移動レス"},
  };
  for (const Case& c : cases) {
    f.prompter.boxes.clear();
    c.run();
    ASSERT_EQ(f.prompter.boxes.size(), 1u) << c.word;
    EXPECT_EQ(f.prompter.boxes[0].kind, "error");
    EXPECT_EQ(f.prompter.boxes[0].text,
              Sjis("作成されたファイルが存在しません。\n\r") + Sjis(c.word) + Sjis("を中止します。"));
    EXPECT_TRUE(f.state.writes.empty());
    EXPECT_FALSE(f.state.editor_busy);
  }
  EXPECT_EQ(f.state.pending_count, 0);
  // No reply entered the list, so nothing is marked; the net selector stays
  // disabled; nothing was enabled.
  EXPECT_EQ(f.state.messages[message].Mark(), "");
  EXPECT_EQ(std::count(f.view.log.begin(), f.view.log.end(), "mark 0 list"), 0);
  EXPECT_EQ(std::count(f.view.log.begin(), f.view.log.end(), "uptext on"), 0);
  EXPECT_EQ(std::count(f.view.log.begin(), f.view.log.end(), "net on"), 0);
}

TEST_F(Composition, PlaceholderTitleAndEmptiedFile) {
  // Saved unchanged: the same bytes, a later modification time.
  f.editor.edit = [](const std::string& path) {
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
  };
  NewMessage(f.state, f.ports, f.view, 0);
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0].title, TitlePlaceholder());
  ASSERT_EQ(f.prompter.boxes.size(), 1u);
  EXPECT_EQ(f.prompter.boxes[0].kind, "info");
  EXPECT_EQ(f.prompter.boxes[0].text, Sjis("タイトルが編集されていませんでした。\n\r確認を行って下さい。"));
  EXPECT_EQ(f.view.log, (Log{"net off", "add 0", "uptext on"}));

  f.editor.edit = [](const std::string& path) { testing::WriteFile(path, ""); };
  NewMessage(f.state, f.ports, f.view, 0);
  ASSERT_EQ(f.state.writes.size(), 2u);
  EXPECT_EQ(f.state.writes[1].title, "");
  EXPECT_EQ(f.state.writes[1].serial_no, "2");
  EXPECT_EQ(f.prompter.boxes.size(), 1u);
  EXPECT_EQ(f.state.pending_count, 2);
  // Both compositions started in the same second; each keeps a file of its own.
  EXPECT_NE(f.state.writes[0].temp_file_name, f.state.writes[1].temp_file_name);
}

TEST_F(Composition, FailuresClearEditorBusy) {
  // NOESC.LOG is gone: the file error reaches the caller, no editor, no entry.
  std::remove(f.state.WorkFile("NOESC.LOG").c_str());
  EXPECT_THROW(ResMessage(f.state, f.ports, f.view, message, ReplyOrigin::List), IoError);
  EXPECT_FALSE(f.state.editor_busy);
  EXPECT_TRUE(f.editor.calls.empty());
  EXPECT_TRUE(f.state.writes.empty());
  // The editor port fails with an exception.
  f.editor.edit = [](const std::string&) { throw std::runtime_error("editor crashed"); };
  EXPECT_THROW(NewMail(f.state, f.ports, f.view, 0), std::runtime_error);
  EXPECT_FALSE(f.state.editor_busy);
}

TEST_F(Composition, IndexesThatNameNoRecordDoNothing) {
  NewMessage(f.state, f.ports, f.view, 3);
  NewMail(f.state, f.ports, f.view, 1);
  ResMessage(f.state, f.ports, f.view, 2, ReplyOrigin::List);
  ResMail(f.state, f.ports, f.view, 2, ReplyOrigin::List);
  MoveResMessage(f.state, f.ports, f.view, 2, ReplyOrigin::List);
  EditMessage(f.state, f.ports, f.view, 0, true);
  EXPECT_TRUE(f.view.log.empty());
  EXPECT_TRUE(f.editor.calls.empty());
}

TEST_F(Composition, SecondCompositionWhileTheEditorRuns) {
  // The windows stay live while the editor runs: a second composition may start.
  int depth = 0;
  f.editor.edit = [&](const std::string& path) {
    testing::WriteFile(path, "title\n");
    if (++depth == 1) {
      NewMail(f.state, f.ports, f.view, 0);
      EXPECT_TRUE(f.state.editor_busy);  // the outer editor still runs
    }
  };
  NewMessage(f.state, f.ports, f.view, 0);
  EXPECT_FALSE(f.state.editor_busy);
  ASSERT_EQ(f.state.writes.size(), 2u);
  EXPECT_EQ(f.state.writes[0].serial_no, "1");
  EXPECT_EQ(f.state.writes[1].serial_no, "2");
  EXPECT_EQ(f.state.pending_count, 2);
}

TEST_F(Composition, EditMessageRereadsTheTitle) {
  NewMessage(f.state, f.ports, f.view, 0);
  f.view.log.clear();
  f.editor.edit = [this](const std::string& path) {
    seen_busy = f.state.editor_busy;
    testing::WriteFile(path, "new title\r\nbody");
  };
  EditMessage(f.state, f.ports, f.view, 0, false);
  EXPECT_TRUE(seen_busy);
  EXPECT_FALSE(f.state.editor_busy);
  EXPECT_EQ(f.editor.calls.back().file, Path());
  EXPECT_EQ(f.state.writes[0].title, "new title");
  EXPECT_EQ(f.view.log, Log{"refresh 0"});
  // From the pop-up menu the file is shown again; the placeholder is not tested again.
  f.editor.edit = [](const std::string& path) { testing::WriteFile(path, TitlePlaceholder() + "\r\n"); };
  f.view.log.clear();
  EditMessage(f.state, f.ports, f.view, 0, true);
  EXPECT_EQ(f.state.writes[0].title, TitlePlaceholder());
  EXPECT_EQ(f.view.log, (Log{"refresh 0", "show 0"}));
  EXPECT_TRUE(f.prompter.boxes.empty());
  EXPECT_EQ(f.state.pending_count, 1);
}

// An editor set up for Shift-JIS that saves UTF-8 after all: the composition
// file is Shift-JIS again when the composition ends, and the title reads right.
TEST_F(Composition, Utf8SavedByAShiftJisEditorIsConverted) {
  f.editor.edit = [](const std::string& path) { testing::WriteFile(path, "件名です\r\n本文\r\n"); };
  NewMessage(f.state, f.ports, f.view, 0);
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.writes[0].title, Sjis("件名です"));
  EXPECT_EQ(ReadWholeFile(f.TmpFile(f.state.writes[0].temp_file_name)), Sjis("件名です\r\n本文\r\n"));
  EXPECT_TRUE(f.prompter.boxes.empty());
}

TEST_F(Composition, EditMessageFailures) {
  NewMessage(f.state, f.ports, f.view, 0);
  const WriteEntry before = f.state.writes[0];
  f.view.log.clear();

  f.editor.edit = [](const std::string& path) { std::remove(path.c_str()); };
  EditMessage(f.state, f.ports, f.view, 0, true);
  ASSERT_EQ(f.prompter.boxes.size(), 1u);
  EXPECT_EQ(f.prompter.boxes[0].kind, "error");
  EXPECT_EQ(f.prompter.boxes[0].text, Sjis("編集されたメッセージが存在しません。"));
  EXPECT_EQ(f.state.writes[0], before);
  EXPECT_FALSE(f.state.editor_busy);

  f.editor.starts = false;
  EditMessage(f.state, f.ports, f.view, 0, true);
  EXPECT_EQ(f.view.log, Log{"plain " + Sjis("指定エディタが起動出来ませんでした。")});
  EXPECT_FALSE(f.state.editor_busy);

  // A deleted entry is not edited.
  f.editor.starts = true;
  f.state.writes[0].deleted = "1";
  const size_t calls = f.editor.calls.size();
  EditMessage(f.state, f.ports, f.view, 0, true);
  EXPECT_EQ(f.editor.calls.size(), calls);

  // The write list emptied by an up-text output while the editor ran.
  f.state.writes[0].deleted = "0";
  f.editor.edit = [this](const std::string& path) {
    testing::WriteFile(path, "t\n");
    f.state.writes.clear();
  };
  f.view.log.clear();
  EditMessage(f.state, f.ports, f.view, 0, true);
  EXPECT_TRUE(f.view.log.empty());
  EXPECT_FALSE(f.state.editor_busy);
}

}  // namespace
}  // namespace tobrisk
