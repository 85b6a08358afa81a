#include <gtest/gtest.h>

#include "capture_generator.h"
#include "cli_runner.h"
#include "core/reading/escape_filter.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/reading/read_marks.h"
#include "core/ports/progress.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::CliRunner;

class CliReading : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFile(cli_.WorkDir() + "NET.TDT", "ABCD\t" + Sjis("ネット") + "\tme\tUP\r\n"); }
  void Write(const std::string& name, const std::string& bytes) { testing::WriteFile(cli_.WorkDir() + name, bytes); }
  // A capture with a mail, a board with a reply and a message read twice.
  std::string SmallCapture() {
    std::string s;
    auto line = [&](const std::string& l) { s += l + "\r\n"; };
    line("\x1b[1m" + testing::MainMenuLine() + "\x1b[0m");
    line(testing::MailScreenLine());
    line(testing::MailHeader(Sjis("件名"), 456, Sjis("はなこ"), "12/05"));
    line("-----");
    line(Sjis("メール本文"));
    line(testing::MailSendLine());
    line(testing::BbsHeader(1, Sjis("雑談")));
    line(testing::NewHeader(102, "second", 7, "MIKE", "12/02"));
    line("text of 102");
    line("");
    line(testing::ResHeaderLine(103, 102));
    line(testing::ResFieldsLine("Re:second", 8, "JOE", "12/03"));
    line("text of 103");
    line(testing::NewHeader(101, "first", 7, "MIKE", "12/01"));
    line("text of 101");
    line(testing::BbsHeader(1, Sjis("雑談")));
    line(testing::NewHeader(101, "first", 7, "MIKE", "12/01"));
    line("again 101");
    return s;
  }
  CliRunner cli_;
};

TEST_F(CliReading, ListPrintsTheSortedEntriesWithTheirMarks) {
  Write("abcd0101.log", SmallCapture());
  Write("ABCD.RAD", "BBS\t1\t101\t" + Sjis("○") + "\r\n");
  const auto r = cli_.Run({"list", "abcd0101.log"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string expected =
      "1\t-100\t-100\t新着メール\tMAIL\t456\tはなこ\t-2\t-1\tMAIL\t件名\t136\t12/05\t-\n"
      "2\t1\t1\t雑談\tBBS\t7\tMIKE\t101\t-1\tNEW\tfirst\t506\t12/01\t○\n"
      "3\t1\t1\t雑談\tBBS\t7\tMIKE\t101\t-1\tNEW\tfirst\t619\t12/01\t○\n"
      "4\t1\t1\t雑談\tBBS\t7\tMIKE\t102\t-1\tNEW\tsecond\t268\t12/02\t\n"
      "5\t1\t1\t雑談\tBBS\t8\tJOE\t103\t102\tRES\tRe:second\t417\t12/03\t\n";
  EXPECT_EQ(r.out, expected);
  // The Shift-JIS bytes unchanged.
  const auto s = cli_.Run({"list", "--sjis", "abcd0101.log"});
  EXPECT_EQ(s.out, Utf8ToSjis(expected));
  // Nothing is saved: the marks file, the settings and the recent list stay.
  EXPECT_EQ(ReadWholeFile(cli_.WorkDir() + "ABCD.RAD"), "BBS\t1\t101\t" + Sjis("○") + "\r\n");
  EXPECT_NE(cli_.Run({"settings"}).out.find("Settings LogPath\tPath0\t\n"), std::string::npos);
}

TEST_F(CliReading, ReadingLeavesTheProgramsWorkFilesAlone) {
  // The program may be showing messages at their offsets in its NOESC.LOG.
  Write("ABCD0101.LOG", SmallCapture());
  Write("NOESC.LOG", "the program's text\r\n");
  EXPECT_EQ(cli_.Run({"list", "ABCD0101.LOG"}).exit_code, 0);
  EXPECT_EQ(cli_.Run({"tree", "ABCD0101.LOG"}).exit_code, 0);
  EXPECT_EQ(cli_.Run({"show", "--seq", "5", "ABCD0101.LOG"}).out, "text of 103\n");
  const auto q = cli_.Run({"quote", "--seq", "5", "--kind", "res", "ABCD0101.LOG"});
  ASSERT_EQ(q.exit_code, 0) << q.err;
  EXPECT_NE(ReadWholeFile(q.out.substr(0, q.out.size() - 1)).find(">text of 103\r\n"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(cli_.WorkDir() + "NOESC.LOG"), "the program's text\r\n");
  EXPECT_FALSE(FileExists(cli_.WorkDir() + "BDNOESC.LOG"));
}

TEST_F(CliReading, TreeAndShow) {
  Write("ABCD0101.LOG", SmallCapture());
  const auto t = cli_.Run({"tree", "ABCD0101.LOG"});
  ASSERT_EQ(t.exit_code, 0) << t.err;
  EXPECT_EQ(t.out,
            "0\t6\t-1\t『新着メール』\n"
            "1\t5\t0\t【はなこ】件名\n"
            "0\t4\t-1\t『新着メッセージ』\n"
            "1\t2\t-1\tBBS1:雑談\n"
            "2\t0\t1\t#Fc.00101【MIKE】first\n"
            "2\t0\t2\t#Fc.00101【MIKE】first\n"
            "2\t0\t3\t#Fc.00102【MIKE】second\n"
            "3\t0\t4\t#Fc.00103【JOE】Re:second\n");

  const auto raw = cli_.Run({"show", "--sjis", "--seq", "4", "ABCD0101.LOG"});
  ASSERT_EQ(raw.exit_code, 0) << raw.err;
  EXPECT_EQ(raw.out, "text of 102\r\n\r\n");
  EXPECT_EQ(cli_.Run({"show", "--seq", "1", "ABCD0101.LOG"}).out, "メール本文\n");
  EXPECT_EQ(cli_.Run({"show", "--seq", "3", "ABCD0101.LOG"}).out, "again 101\n");
  // A message without a text line (a screen follows its header at once) prints nothing.
  Write("ABCD0102.LOG", testing::BbsHeader(1, "x") + "\r\n" + testing::NewHeader(105, "empty", 7, "MIKE", "12/05") +
                            "\r\n" + testing::BbsHeader(1, "x") + "\r\n");
  const auto empty = cli_.Run({"show", "--seq", "1", "ABCD0102.LOG"});
  EXPECT_EQ(empty.exit_code, 0) << empty.err;
  EXPECT_EQ(empty.out, "");

  EXPECT_EQ(cli_.Run({"show", "--seq", "9", "ABCD0101.LOG"}).exit_code, 1);
  EXPECT_EQ(cli_.Run({"show", "--seq", "0", "ABCD0101.LOG"}).exit_code, 1);
  EXPECT_EQ(cli_.Run({"show", "ABCD0101.LOG"}).exit_code, 2);
  EXPECT_EQ(cli_.Run({"show", "--seq", "x", "ABCD0101.LOG"}).exit_code, 2);
  EXPECT_EQ(cli_.Run({"list"}).exit_code, 2);
}

TEST_F(CliReading, Refusals) {
  Write("ABCD0101.LOG", SmallCapture());
  Write("WXYZ0101.LOG", SmallCapture());
  Write("ABCD0102.LOG", testing::MainMenuLine() + "\r\n");

  const auto nets = cli_.Run({"list", "ABCD0101.LOG", "WXYZ0101.LOG"});
  EXPECT_EQ(nets.exit_code, 1);
  EXPECT_EQ(nets.err, "全て同じネットのログファイルを選択して下さい。\n");
  EXPECT_EQ(nets.out, "");
  EXPECT_FALSE(FileExists(cli_.WorkDir() + "NOESC.LOG"));

  const auto no_net = cli_.Run({"tree", "WXYZ0101.LOG"});
  EXPECT_EQ(no_net.exit_code, 1);
  EXPECT_EQ(no_net.err,
            "ログファイルヘッダ [WXYZ] はネット設定がされていません。\n"
            "ログファイルヘッダは必ず４文字で設定して下さい。\n");

  const auto empty = cli_.Run({"list", "ABCD0102.LOG"});
  EXPECT_EQ(empty.exit_code, 0);
  EXPECT_EQ(empty.err, "読み込んだログにメッセージは有りませんでした。\n");
  EXPECT_EQ(empty.out, "");

  const auto missing = cli_.Run({"list", "ABCD0199.LOG"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("ABCD0199.LOG"), std::string::npos);
}

TEST_F(CliReading, GeneratedCapturesMatchTheCore) {
  testing::CaptureOptions o;
  o.seed = 11;
  o.missing_share = 0.02;
  o.reread_share = 0.3;
  Write("ABCD0101.LOG", testing::GenerateCapture(o));
  o.seed = 12;
  o.ctrl_z = true;
  Write("ABCD0102.LOG", testing::GenerateCapture(o));
  Write("ABCD.RAD", "BBS\t1\t3\tR\r\nMAIL\t-100\t-2\tM\r\nCUG\t2\t5\tC\r\n");
  const auto r = cli_.Run({"list", "--sjis", "ABCD0101.LOG", "ABCD0102.LOG"});
  ASSERT_EQ(r.exit_code, 0) << r.err;

  // The same steps in process.
  const std::string dir = testing::MakeTempDir();
  NullProgress progress;
  CutEscapes({cli_.WorkDir() + "ABCD0101.LOG", cli_.WorkDir() + "ABCD0102.LOG"}, dir + "/NOESC.LOG", progress);
  MessageList list;
  ParseLog(dir + "/NOESC.LOG", list, progress);
  std::vector<ReadMarkRecord> store;
  ReadReadMarkFile(cli_.WorkDir() + "ABCD.RAD", store);
  ApplyReadMarks(list, store);
  SortMessages(list, progress);
  testing::RemoveTree(dir);
  std::string expected;
  for (size_t i = 0; i < list.Size(); ++i) {
    AppendEntryFields(expected, list[i], SeqNoAt(i), '\t');
    expected += '\n';
  }
  ASSERT_GT(list.Size(), 200u);
  EXPECT_EQ(r.out, expected);
  EXPECT_NE(r.out.find("\tR\n"), std::string::npos);
  EXPECT_NE(r.out.find("\tM\n"), std::string::npos);

  // UTF-8 output is the same text converted.
  EXPECT_EQ(cli_.Run({"list", "ABCD0101.LOG", "ABCD0102.LOG"}).out, SjisToUtf8(expected));
}

}  // namespace
}  // namespace tobrisk
