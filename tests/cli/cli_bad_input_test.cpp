// Bad input through the real tobrisk-cli: damaged logs, captures, NET.TDT, .RAD,
// .BRD/.USR, write lists and settings files, a 50 MB line, work files that
// cannot be written. Every case ends with a clear message or a documented skip,
// never a crash, and the files the command was not asked to change keep their
// bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bad_input.h"
#include "board_capture_generator.h"
#include "capture_generator.h"
#include "cli_runner.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::BadContent;
using testing::BadContents;
using testing::CliResult;

constexpr const char* kEpoch = "SOURCE_DATE_EPOCH=857563200";  // 1997-03-05
constexpr const char* kNoMessages = "読み込んだログにメッセージは有りませんでした。\n";
constexpr const char* kNothingImported = "ボード情報は見つかりませんでした。\nユーザ情報は見つかりませんでした。\n";

// True when the process ended by itself with exit code 0, 1 or 2 (no signal).
bool EndedCleanly(const CliResult& r) { return r.exit_code >= 0 && r.exit_code <= 2; }

class CliBadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("NET.TDT", net_file_);
    Write("ABCD.RAD", marks_file_);
    Write("ABCD.BRD", board_file_);
    Write("ABCD.USR", user_file_);
    Write("GOOD0001.LOG", "");
    Write("ABCD0305.LOG", GoodLog());
  }
  std::string Path(const std::string& name) const { return cli_.WorkDir() + name; }
  void Write(const std::string& name, const std::string& bytes) const { testing::WriteFile(Path(name), bytes); }
  std::string File(const std::string& name) const { return ReadWholeFile(Path(name)); }

  // One board message: board 1, message 2 (marked read in the .RAD).
  static std::string GoodLog() {
    return testing::MainMenuLine() + "\r\n" + testing::BbsHeader(1, "b") + "\r\n" +
           testing::NewHeader(2, "title", 5, "hand", "03/05") + "\r\ntext\r\n";
  }

  // The per-net files that reading and failed commands leave alone.
  void ExpectNetFilesKept() const {
    EXPECT_EQ(File("NET.TDT"), net_file_);
    EXPECT_EQ(File("ABCD.RAD"), marks_file_);
    EXPECT_EQ(File("ABCD.BRD"), board_file_);
    EXPECT_EQ(File("ABCD.USR"), user_file_);
  }

  testing::CliRunner cli_;
  const std::string net_file_ = "ABCD\tnet\tme\tUPL\r\n";
  const std::string marks_file_ = "BBS\t1\t2\t" + Sjis("○") + "\r\n";
  const std::string board_file_ = "1\t1\tBBS\tb\r\n";
  const std::string user_file_ = "1\t5\thand\r\n";
};

// ---- capture logs: list, tree, show ----

TEST_F(CliBadInput, ReadingCommandsOnDamagedLogs) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Write("ABCD0001.LOG", d.bytes);
    for (const char* command : {"list", "tree"}) {
      const CliResult r = cli_.Run({command, "ABCD0001.LOG"});
      EXPECT_EQ(r.exit_code, 0) << command << ": " << r.err;
      EXPECT_EQ(r.err, kNoMessages) << command;
    }
    EXPECT_EQ(cli_.Run({"tree", "--sjis", "ABCD0001.LOG"}).out.find("0\t6\t-1\t"), 0u);
    const CliResult show = cli_.Run({"show", "--seq", "1", "ABCD0001.LOG"});
    EXPECT_EQ(show.exit_code, 1);
    EXPECT_NE(show.err.find("no message with SeqNo 1"), std::string::npos) << show.err;
    EXPECT_EQ(File("ABCD0001.LOG"), d.bytes);
  }
  ExpectNetFilesKept();
}

TEST_F(CliBadInput, FiftyMegabyteLine) {
  testing::WriteHugeLine(Path("ABCD0001.LOG"));
  const CliResult list = cli_.Run({"list", "ABCD0001.LOG"});
  EXPECT_EQ(list.exit_code, 0) << list.err;
  EXPECT_EQ(list.err, kNoMessages);
  const CliResult import = cli_.Run({"import", "ABCD0001.LOG"});
  EXPECT_EQ(import.exit_code, 0) << import.err;
  EXPECT_EQ(import.out, kNothingImported);
  ExpectNetFilesKept();
  // As a write list: refused by line, and the huge line is not echoed.
  const CliResult up = cli_.Run({"up", "ABCD0001.LOG"});
  EXPECT_EQ(up.exit_code, 1);
  EXPECT_LT(up.err.size(), 1000u);
}

// ---- board/member capture (import) and the .BRD/.USR it reads back ----

TEST_F(CliBadInput, ImportOfDamagedCapturesKeepsTheFiles) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Write("ABCD0001.LOG", d.bytes);
    const CliResult r = cli_.Run({"import", "ABCD0001.LOG"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, kNothingImported);
    ExpectNetFilesKept();
  }
}

TEST_F(CliBadInput, DamagedBoardAndUserFilesAreReadBackUnchanged) {
  Write("ABCD0001.LOG", "");
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Write("ABCD.BRD", d.bytes);
    Write("ABCD.USR", d.bytes);
    const CliResult r = cli_.Run({"import", "ABCD0001.LOG"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(File("ABCD.BRD"), d.bytes);
    EXPECT_EQ(File("ABCD.USR"), d.bytes);
  }
}

TEST_F(CliBadInput, ImportOfDamagedListRows) {
  // Numbers are cut by column: 20 digits in the ID column give its first four.
  const std::string header = testing::MemberListStartLine() + "\r\n" + testing::MemberColumnHeader() + "\r\n";
  Write("ABCD0001.LOG", header + testing::PadRight("", 10) + "99999999999999999999 name\r\n\r\n");
  CliResult r = cli_.Run({"import", "ABCD0001.LOG"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(File("ABCD.USR"), "1\t9999\t999999999999999 \r\n");
  Write("ABCD.USR", user_file_);

  // Junk where a number should stand: the conversion error, nothing written.
  Write("ABCD0001.LOG", header + testing::PadRight("", 10) + "\x82\x00\xff\x1b name\r\n\r\n");
  r = cli_.Run({"import", "ABCD0001.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(r.err.ends_with("' は整数ではありません\n")) << r.err;
  ExpectNetFilesKept();
}

// ---- NET.TDT ----

TEST_F(CliBadInput, DamagedNetFile) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Write("NET.TDT", d.bytes);
    const CliResult r = cli_.Run({"list", "ABCD0305.LOG"});
    EXPECT_TRUE(EndedCleanly(r)) << r.exit_code;
    EXPECT_EQ(File("NET.TDT"), d.bytes);
  }
  // No net, or none for this header: the log's header names no net.
  for (const std::string& bytes : {std::string(), std::string("WXYZ\tn\th\tu\r\n")}) {
    Write("NET.TDT", bytes);
    const CliResult r = cli_.Run({"list", "ABCD0305.LOG"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(
        r.err,
        "ログファイルヘッダ [ABCD] はネット設定がされていません。\nログファイルヘッダは必ず４文字で設定して下さい。\n");
  }
  // An empty line, or a line without TAB, is a net with an empty log header,
  // which matches no log and no capture: nothing is opened or imported.
  for (const std::string& bytes : {std::string("\r\n"), std::string(100, '\n'), std::string("ABCD")}) {
    Write("NET.TDT", bytes);
    EXPECT_EQ(cli_.Run({"list", "ABCD0305.LOG"}).exit_code, 1);
    const CliResult import = cli_.Run({"import", "ABCD0305.LOG"});
    EXPECT_EQ(import.exit_code, 1);
    EXPECT_EQ(import.err, "ログファイル[ABCD0305.LOG]はネット設定がされていません。\n");
    EXPECT_EQ(File("ABCD.BRD"), board_file_);
    EXPECT_EQ(File("ABCD.USR"), user_file_);
  }
}

// ---- .RAD ----

TEST_F(CliBadInput, DamagedReadMarkFile) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Write("ABCD.RAD", d.bytes);
    const CliResult r = cli_.Run({"list", "ABCD0305.LOG"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 2), "1\t");
    EXPECT_EQ(File("ABCD.RAD"), d.bytes);
  }
  // Incomplete lines are skipped; with too many TABs the last field is the mark.
  Write("ABCD.RAD", "BBS\t1\r\nBBS\t1\t2\tx\t\t" + Sjis("★") + "\r\n");
  const CliResult r = cli_.Run({"list", "ABCD0305.LOG"});
  EXPECT_TRUE(r.out.ends_with("\t★\n")) << r.out;
  // A 20-digit message number matches no message.
  Write("ABCD.RAD", "BBS\t1\t99999999999999999999\t" + Sjis("★") + "\r\n");
  EXPECT_TRUE(cli_.Run({"list", "ABCD0305.LOG"}).out.ends_with("\t03/05\t\n"));
}

// ---- the write list of `up`, composition files, UpDir ----

class CliBadWriteList : public CliBadInput {
 protected:
  void SetUp() override {
    CliBadInput::SetUp();
    ::mkdir(Path("up").c_str(), 0777);
    ::mkdir(Path("tmp").c_str(), 0777);
    ASSERT_EQ(cli_.Run({"settings", "set", "UpDir", Path("up")}).exit_code, 0);
    ASSERT_EQ(cli_.Run({"settings", "set", "DefaultNet", "0"}).exit_code, 0);
    ASSERT_EQ(cli_.Run({"settings", "set", "MessageFooter", ""}).exit_code, 0);
    Write("tmp/a.TXT", "title\nbody\n");
    Write("up/UPL0305.TXT", kOldUpFile);
  }
  static constexpr const char* kOldUpFile = "earlier\r\n";
};

TEST_F(CliBadWriteList, DamagedWriteListsWriteNothing) {
  for (const BadContent& d : BadContents()) {
    SCOPED_TRACE(d.name);
    Write("list.tsv", d.bytes);
    const CliResult r = cli_.Run({"up", "--append", "list.tsv"}, {kEpoch});
    EXPECT_EQ(r.exit_code, 1);
    const bool no_entry = r.err.find("holds no live entry") != std::string::npos;
    const bool bad_line = r.err.find(": expected the 9 fields") != std::string::npos ||
                          r.err.find(": Deleted must be 0 or 1") != std::string::npos;
    EXPECT_TRUE(no_entry || bad_line) << r.err;
    EXPECT_EQ(File("up/UPL0305.TXT"), kOldUpFile);
  }
}

TEST_F(CliBadWriteList, OddFieldsPassAsText) {
  // 20-digit numbers and a title ending in half a character are text to the
  // up-text output: written as they are.
  Write("list.tsv", "99999999999999999999\tBBS\t12345678901234567890\tb\t0\tt\x82\tRES\ta.TXT\t0\n");
  const CliResult r = cli_.Run({"up", "--replace", "list.tsv"}, {kEpoch});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(File("up/UPL0305.TXT"), "B12345678901234567890\r\nR0\r\nt\x82\r\nbody\r\n/ES\r\nE\r\n");
}

TEST_F(CliBadWriteList, CompositionFileThatIsAFolderIsSkipped) {
  ::mkdir(Path("tmp/d.TXT").c_str(), 0777);
  Write("list.tsv", "1\tBBS\t1\tb\t0\tt\tNEW\td.TXT\t0\n2\tBBS\t1\tb\t0\tt\tNEW\ta.TXT\t0\n");
  const CliResult r = cli_.Run({"up", "--replace", "list.tsv"}, {kEpoch});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "メッセージテンポファイル[d.TXT]が存在しません。\nスキップします。\n");
  EXPECT_EQ(File("up/UPL0305.TXT"), "B1\r\nW\r\nt\r\nbody\r\n/ES\r\nE\r\n");
}

TEST_F(CliBadWriteList, UpDirMissingOrBelowAFile) {
  Write("list.tsv", "1\tBBS\t1\tb\t0\tt\tNEW\ta.TXT\t0\n");
  for (const std::string& dir : {Path("nowhere"), Path("NET.TDT/sub")}) {
    SCOPED_TRACE(dir);
    ASSERT_EQ(cli_.Run({"settings", "set", "UpDir", dir}).exit_code, 0);
    const CliResult r = cli_.Run({"up", "list.tsv"}, {kEpoch});
    EXPECT_EQ(r.exit_code, 1);
    // The message names the UpFile itself.
    EXPECT_NE(r.err.find("\"" + dir + "/UPL0305.TXT\":"), std::string::npos) << r.err;
  }
  ExpectNetFilesKept();
  EXPECT_EQ(File("tmp/a.TXT"), "title\nbody\n");
}

// ---- work files that cannot be written ----

// As root no permission bit stops a write; a folder where a work file should be,
// or a regular file where a folder should be, stops everyone.
TEST_F(CliBadInput, WorkFilesThatCannotBeWritten) {
  // Reading writes no NOESC.LOG: a folder in its place does not matter.
  ::mkdir(Path("NOESC.LOG").c_str(), 0777);
  CliResult r = cli_.Run({"list", "ABCD0305.LOG"});
  EXPECT_EQ(r.exit_code, 0) << r.err;

  ::mkdir(Path("BDNOESC.LOG").c_str(), 0777);
  r = cli_.Run({"import", "ABCD0305.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("BDNOESC.LOG\": Is a directory"), std::string::npos) << r.err;
  ExpectNetFilesKept();

  // tmp is a regular file: reading still works (with a note), quoting fails.
  ::rmdir(Path("NOESC.LOG").c_str());
  ::rmdir(Path("tmp").c_str());
  Write("tmp", "not a folder");
  r = cli_.Run({"list", "ABCD0305.LOG"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("tmp\": File exists"), std::string::npos) << r.err;
  r = cli_.Run({"quote", "--seq", "1", "--kind", "res", "ABCD0305.LOG"}, {kEpoch});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(File("tmp"), "not a folder");
}

// ---- the settings file ----

TEST_F(CliBadInput, DamagedSettingsFile) {
  const std::string ini = cli_.ConfigDir() + "/Tobrisk95/Tobrisk95.ini";
  ::mkdir((cli_.ConfigDir() + "/Tobrisk95").c_str(), 0777);
  testing::WriteFile(ini, testing::JunkBytes(20000, 3));
  CliResult r = cli_.Run({"settings"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Settings Control\tReadTypeMax\t1000\n"), std::string::npos);
  // Saving replaces the damaged file and succeeds.
  r = cli_.Run({"settings", "set", "ReadTypeMax", "5"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(cli_.Run({"settings"}).out.find("Settings Control\tReadTypeMax\t5\n"), std::string::npos);

  // Numbers that do not fit fall back to their defaults.
  testing::WriteFile(ini, "[Settings%20Control]\nReadTypeMax=99999999999999999999\nOpenPage=\x82\n");
  r = cli_.Run({"settings"});
  EXPECT_NE(r.out.find("Settings Control\tReadTypeMax\t1000\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Control\tOpenPage\t1\n"), std::string::npos);

  // A folder in the settings file's place: a clear error, exit 1.
  ::unlink(ini.c_str());
  ::mkdir(ini.c_str(), 0777);
  r = cli_.Run({"settings", "set", "ReadTypeMax", "6"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("Tobrisk95.ini"), std::string::npos) << r.err;
}

// ---- --help ----

TEST_F(CliBadInput, HelpDescribesEveryCommand) {
  const CliResult r = cli_.Run({"--help"});
  ASSERT_EQ(r.exit_code, 0);
  for (const char* synopsis :
       {"list [--sjis] LOG...", "tree [--sjis] LOG...", "show [--sjis] --seq N LOG...",
        "quote --seq N --kind res|move|mail LOG...", "import CAPTURE", "up [--append|--replace] WRITELIST",
        "settings [--sjis] | settings [--sjis] set NAME VALUE"}) {
    EXPECT_NE(r.out.find("  " + std::string(synopsis) + "\n      "), std::string::npos) << synopsis;
  }
}

}  // namespace
}  // namespace tobrisk
