#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "core/text/io_error.h"
#include "core/writing/message_templates.h"
#include "core/writing/up_text.h"
#include "core/writing/write_list.h"
#include "writing_test_fixture.h"

namespace tobrisk {
namespace {

using testing::Lines;
using testing::WritingFixture;

// Adds an entry whose composition file holds the title line and `body`
// (written with LF line ends, as editors here save).
void AddEntry(WritingFixture& f, WriteEntry e, const std::string& body, bool create_file = true) {
  e.serial_no = std::to_string(f.state.writes.size() + 1);
  if (e.temp_file_name.empty()) e.temp_file_name = "03050000" + std::to_string(10 + f.state.writes.size()) + ".TXT";
  if (e.deleted.empty()) e.deleted = "0";
  if (create_file) testing::WriteFile(f.TmpFile(e.temp_file_name), e.title + "\n" + body);
  f.state.writes.push_back(e);
  if (!e.IsDeleted()) ++f.state.pending_count;
}

WriteEntry Entry(std::string board_type, std::string target_no, std::string res_to_no, std::string title,
                 std::string kind) {
  WriteEntry e;
  e.board_type = std::move(board_type);
  e.target_no = std::move(target_no);
  e.target_name = "name";
  e.res_to_no = std::move(res_to_no);
  e.title = std::move(title);
  e.kind = std::move(kind);
  return e;
}

const std::string& DefaultFooter() {
  static const std::string text = Sjis("[ たろう  with Ｔobrisk95 Ver.1.1 in 1997/03/05 ]");
  return text;
}

TEST(UpText, TwoBlockWorkedExample) {
  WritingFixture f;
  AddEntry(f, Entry("IBBS", "3", "345", Sjis("質問の件"), "RES"), Sjis("了解です。\n"));
  AddEntry(f, Entry("MAIL", "1234", "0", Sjis("連絡"), "NEW"), Sjis("よろしく。"));
  std::string path;
  ASSERT_TRUE(WriteUpFile(f.state, f.ports, &path));
  EXPECT_EQ(path, f.root + "/up/UPL0305.TXT");
  EXPECT_EQ(f.Read(path),
            Lines({"I3", "R345", Sjis("質問の件"), Sjis("了解です。"), "", DefaultFooter(), "/ES", "E", "M", "W",
                   "1234", "", Sjis("連絡"), Sjis("よろしく。"), "", DefaultFooter(), "/ES", "E"}));
  EXPECT_TRUE(f.prompter.boxes.empty());
  // WriteUpFile itself leaves the list and the count alone.
  EXPECT_EQ(f.state.writes.size(), 2u);
  EXPECT_EQ(f.state.pending_count, 2);
}

TEST(UpText, BoardSelectionAndCommandLines) {
  WritingFixture f;
  f.state.settings.message_footer.clear();
  AddEntry(f, Entry("BBS", "0", "0", "new", "NEW"), "");
  AddEntry(f, Entry("CUG", "7", "-1", "moved", "Move"), "x\n");
  AddEntry(f, Entry("LBBS", "5", "0", "lbbs", "NEW"), "/ES\n");  // the body is never escaped
  AddEntry(f, Entry("BBS", "12", "99", "res", "RES"), "\n\nlast");
  AddEntry(f, Entry("MAIL", "77", "0", "re mail", "RES"), "");
  ASSERT_TRUE(WriteUpFile(f.state, f.ports));
  EXPECT_EQ(f.Read(f.root + "/up/UPL0305.TXT"), Lines({"BF",  "W",   "new",   "/ES", "E",                            //
                                                       "B7",  "W",   "moved", "x",   "/ES",     "E",                 //
                                                       "I5",  "W",   "lbbs",  "/ES", "/ES",     "E",                 //
                                                       "B12", "R99", "res",   "",    "",        "last", "/ES", "E",  //
                                                       "M",   "W",   "77",    "",    "re mail", "/ES",  "E"}));
}

TEST(UpText, FooterIsExpandedPerBlockAndAligned) {
  WritingFixture f;
  class TickingClock final : public Clock {
   public:
    LocalTime Now() override { return {1997, 3, 5, 10, 0, second++}; }
    int second = 0;
  } clock;
  f.ports.clock = &clock;
  f.state.settings.message_footer = "$h:$m:$s";
  f.state.settings.message_footer_pos = kAlignRight;
  AddEntry(f, Entry("BBS", "1", "0", "a", "NEW"), "");
  AddEntry(f, Entry("BBS", "1", "0", "b", "NEW"), "");
  ASSERT_TRUE(WriteUpFile(f.state, f.ports));
  const std::string pad(70, ' ');
  // The name takes the first reading, each block its own.
  EXPECT_EQ(f.Read(f.root + "/up/UPL0305.TXT"), Lines({"B1", "W", "a", "", pad + "10:00:01", "/ES", "E",  //
                                                       "B1", "W", "b", "", pad + "10:00:02", "/ES", "E"}));
}

TEST(UpText, DeletedAndMissingEntriesAreLeftOut) {
  WritingFixture f;
  WriteEntry gone = Entry("BBS", "1", "0", "deleted", "NEW");
  gone.deleted = "1";
  AddEntry(f, gone, "");
  AddEntry(f, Entry("BBS", "2", "0", "missing", "NEW"), "", false);
  AddEntry(f, Entry("BBS", "3", "0", "kept", "NEW"), "");
  f.state.settings.message_footer.clear();
  ASSERT_TRUE(WriteUpFile(f.state, f.ports));
  EXPECT_EQ(f.Read(f.root + "/up/UPL0305.TXT"), Lines({"B3", "W", "kept", "/ES", "E"}));
  ASSERT_EQ(f.prompter.boxes.size(), 1u);
  EXPECT_EQ(f.prompter.boxes[0].kind, "error");
  EXPECT_EQ(f.prompter.boxes[0].text,
            Sjis("メッセージテンポファイル[0305000011.TXT]が存在しません。\n\rスキップします。"));
}

TEST(UpText, ExistingFileQuestion) {
  WritingFixture f;
  f.state.settings.message_footer.clear();
  AddEntry(f, Entry("BBS", "1", "0", "t", "NEW"), "");
  const std::string path = f.root + "/up/UPL0305.TXT";
  const std::string block = Lines({"B1", "W", "t", "/ES", "E"});
  const std::string question =
      Sjis("同名のアップファイルが存在します。削除しますか？\r\n削除を行わない場合は追加されます。");

  testing::WriteFile(path, "earlier\r\n");
  f.prompter.answers = {Answer::Cancel};
  EXPECT_FALSE(WriteUpFile(f.state, f.ports));
  EXPECT_EQ(f.Read(path), "earlier\r\n");
  ASSERT_EQ(f.prompter.boxes.size(), 1u);
  EXPECT_EQ(f.prompter.boxes[0].kind, "confirm");
  EXPECT_EQ(f.prompter.boxes[0].text, question);
  // Enter appends, which loses nothing.
  EXPECT_EQ(f.prompter.defaults, std::vector<Answer>{Answer::No});

  f.prompter.answers = {Answer::No};
  EXPECT_TRUE(WriteUpFile(f.state, f.ports));
  EXPECT_EQ(f.Read(path), "earlier\r\n" + block);

  f.prompter.answers = {Answer::Yes};
  EXPECT_TRUE(WriteUpFile(f.state, f.ports));
  EXPECT_EQ(f.Read(path), block);
}

TEST(UpText, NameRule) {
  WritingFixture f;
  EXPECT_EQ(UpFilePath(f.state, {1997, 3, 5}), f.root + "/up/UPL0305.TXT");
  f.state.settings.up_dir = f.root + "/up/";
  EXPECT_EQ(UpFilePath(f.state, {1997, 12, 31}), f.root + "/up/UPL1231.TXT");
  f.state.nets.At(0).up_file_header.clear();
  EXPECT_EQ(UpFilePath(f.state, {1997, 3, 5}), f.root + "/up/0305.TXT");
  // An empty UpDir (the default) is the work folder, not the root of the file system.
  f.state.settings.up_dir.clear();
  EXPECT_EQ(UpFilePath(f.state, {1997, 3, 5}), f.root + "/0305.TXT");
  // A DefaultNet that names no net gives no prefix.
  f.state.nets.At(0).up_file_header = "UPL";
  f.state.settings.up_dir = "u";
  f.state.settings.default_net = 4;
  EXPECT_EQ(UpFilePath(f.state, {1997, 3, 5}), "u/0305.TXT");
}

TEST(UpText, FailedWriteLeavesFileListAndCountAsTheyWere) {
  WritingFixture f;
  AddEntry(f, Entry("BBS", "1", "0", "t", "NEW"), "");
  f.state.settings.up_dir = f.root + "/no/such/folder";
  EXPECT_THROW(OutputUpText(f.state, f.ports, f.view), IoError);
  EXPECT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.pending_count, 1);
  EXPECT_TRUE(f.view.log.empty());
  EXPECT_FALSE(DirectoryExists(f.root + "/no"));

  // A failure at the replacement leaves no partial or temporary file behind:
  // here the UpFile's name is taken by a folder.
  f.state.settings.up_dir = f.root + "/up";
  CreateDirectory(f.root + "/up/UPL0305.TXT");
  testing::WriteFile(f.root + "/up/UPL0305.TXT/inside", "x");
  EXPECT_THROW(WriteUpFile(f.state, f.ports), IoError);
  EXPECT_EQ(f.Read(f.root + "/up/UPL0305.TXT/inside"), "x");
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(f.root + "/up")) ++files;
  EXPECT_EQ(files, 1u);
}

TEST(UpText, CommandCleansUpAfterSuccessOnly) {
  WritingFixture f;
  AddEntry(f, Entry("BBS", "1", "0", "t", "NEW"), "");
  testing::WriteFile(f.root + "/up/UPL0305.TXT", "earlier\r\n");
  f.prompter.answers = {Answer::Cancel};
  EXPECT_FALSE(OutputUpText(f.state, f.ports, f.view));
  EXPECT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(f.state.pending_count, 1);
  EXPECT_TRUE(f.view.log.empty());

  f.prompter.answers = {Answer::Yes};
  EXPECT_TRUE(OutputUpText(f.state, f.ports, f.view));
  EXPECT_EQ(f.prompter.boxes.back().kind, "info");
  EXPECT_EQ(f.prompter.boxes.back().text, Sjis("アップテキスト出力が完了しました。"));
  EXPECT_TRUE(f.state.writes.empty());
  EXPECT_EQ(f.state.pending_count, 0);
  EXPECT_EQ(f.view.log, (std::vector<std::string>{"clear", "uptext off", "net on"}));
  // The composition files stay.
  EXPECT_TRUE(FileExists(f.TmpFile("0305000010.TXT")));
}

TEST(UpText, NoBlockWrittenIsAFailureThatChangesNothing) {
  WritingFixture f;
  AddEntry(f, Entry("BBS", "1", "0", "missing", "NEW"), "", false);
  AddEntry(f, Entry("BBS", "2", "0", "broken", "NEW"), "");
  testing::WriteFile(f.TmpFile(f.state.writes[1].temp_file_name), "t\n\x82\xFF\n");
  const std::string path = f.root + "/up/UPL0305.TXT";
  for (const bool existing : {false, true}) {
    if (existing) testing::WriteFile(path, "earlier\r\n");
    f.prompter.boxes.clear();
    f.prompter.answers = {Answer::Yes};
    EXPECT_FALSE(OutputUpText(f.state, f.ports, f.view));
    EXPECT_EQ(FileExists(path), existing);
    if (existing) {
      EXPECT_EQ(f.Read(path), "earlier\r\n");
    }
    EXPECT_EQ(f.state.writes.size(), 2u);
    EXPECT_EQ(f.state.pending_count, 2);
    EXPECT_TRUE(f.view.log.empty());
    ASSERT_FALSE(f.prompter.boxes.empty());
    EXPECT_EQ(f.prompter.boxes.back().kind, "error");
    EXPECT_EQ(f.prompter.boxes.back().text,
              Sjis("出力できるメッセージがありませんでした。\n\rアップファイルは変更していません。"));
  }
}

TEST(UpText, ConcurrentWritersOfOneUpFileLoseNoBlock) {
  WritingFixture f;
  f.state.settings.message_footer.clear();
  AddEntry(f, Entry("BBS", "1", "0", "t", "NEW"), "");
  const std::string path = f.root + "/up/UPL0305.TXT";
  testing::WriteFile(path, "");
  // Two processes append 25 times each, as two windows or tobrisk-cli runs would.
  constexpr int kRounds = 25;
  auto append = [&] {
    for (int i = 0; i < kRounds; ++i) {
      f.prompter.answers = {Answer::No};
      WriteUpFile(f.state, f.ports);
    }
  };
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      append();
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  append();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string content = f.Read(path);
  size_t blocks = 0;
  for (size_t at = content.find("/ES\r\nE\r\n"); at != std::string::npos; at = content.find("/ES\r\nE\r\n", at + 1)) {
    ++blocks;
  }
  EXPECT_EQ(blocks, 2u * kRounds);
}

TEST(WriteList, DeleteAndRevive) {
  WritingFixture f;
  AddEntry(f, Entry("BBS", "1", "0", "a", "NEW"), "");
  AddEntry(f, Entry("BBS", "1", "0", "b", "NEW"), "");
  DeleteMessage(f.state, f.view, 0);
  EXPECT_EQ(f.state.pending_count, 1);
  EXPECT_EQ(f.state.writes[0].deleted, "1");
  DeleteMessage(f.state, f.view, 0);  // already deleted: nothing changes
  EXPECT_EQ(f.state.pending_count, 1);
  DeleteMessage(f.state, f.view, 1);
  EXPECT_EQ(f.state.pending_count, 0);
  EXPECT_EQ(CountLiveEntries(f.state.writes), 0);
  ReversMessage(f.state, f.view, 1);
  ReversMessage(f.state, f.view, 1);  // not deleted: nothing changes
  DeleteMessage(f.state, f.view, 7);  // no such entry
  EXPECT_EQ(f.state.pending_count, 1);
  EXPECT_EQ(f.state.writes[1].deleted, "0");
  EXPECT_EQ(f.view.log, (std::vector<std::string>{"deleted 0", "deleted 1", "uptext off", "revived 1", "uptext on"}));
  // Only the live entry is written.
  f.state.settings.message_footer.clear();
  ASSERT_TRUE(WriteUpFile(f.state, f.ports));
  EXPECT_EQ(f.Read(f.root + "/up/UPL0305.TXT"), Lines({"B1", "W", "b", "/ES", "E"}));
}

TEST(WriteList, WrittenMessageTextEndsEveryLineWithCrLf) {
  WritingFixture f;
  AddEntry(f, Entry("BBS", "1", "0", Sjis("題"), "NEW"), "one\rtwo\r\nthree");
  EXPECT_EQ(WrittenMessageText(f.state, 0), Lines({Sjis("題"), "one", "two", "three"}));
  // A file an editor saved in UTF-8 shows as the upload file gets it.
  testing::WriteFile(f.TmpFile(f.state.writes[0].temp_file_name), "題\n本文");
  EXPECT_EQ(WrittenMessageText(f.state, 0), Lines({Sjis("題"), Sjis("本文")}));
  std::remove(f.TmpFile(f.state.writes[0].temp_file_name).c_str());
  EXPECT_THROW(WrittenMessageText(f.state, 0), IoError);
}

}  // namespace
}  // namespace tobrisk
