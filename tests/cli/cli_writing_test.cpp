#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <sstream>

#include "capture_generator.h"
#include "cli_runner.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// 1997-03-05 12:00:00 UTC: the 5th of March in every time zone within 11 hours.
constexpr const char* kEpoch = "SOURCE_DATE_EPOCH=857563200";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// A work folder with one net (handle たろう, up-file prefix UPL) as DefaultNet
// and an up folder.
class CliWriting : public ::testing::Test {
 protected:
  CliWriting() {
    testing::WriteFile(cli.WorkDir() + "NET.TDT", Sjis("ABCD\tテストネット\tたろう\tUPL\r\n"));
    ::mkdir((cli.WorkDir() + "up").c_str(), 0777);
    ::mkdir((cli.WorkDir() + "tmp").c_str(), 0777);
    EXPECT_EQ(cli.Run({"settings", "set", "UpDir", cli.WorkDir() + "up"}).exit_code, 0);
    EXPECT_EQ(cli.Run({"settings", "set", "DefaultNet", "0"}).exit_code, 0);
  }
  std::string UpFile() const { return cli.WorkDir() + "up/UPL0305.TXT"; }
  testing::CliRunner cli;
};

TEST_F(CliWriting, UpWritesTheWorkedExample) {
  testing::WriteFile(cli.WorkDir() + "tmp/0305101010.TXT", Sjis("質問の件\n了解です。\n"));
  testing::WriteFile(cli.WorkDir() + "tmp/0305101111.TXT", Sjis("連絡\r\nよろしく。\r\n"));
  testing::WriteFile(cli.WorkDir() + "list.tsv",
                     Sjis("1\tIBBS\t3\tボード\t345\t質問の件\tRES\t0305101010.TXT\t0\r\n"
                          "2\tMAIL\t1234\tMAIL : はなこ\t0\t連絡\tNEW\t0305101111.TXT\t0\r\n"));
  const auto r = cli.Run({"up", "list.tsv"}, {kEpoch});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, UpFile() + "\n");
  const std::string footer = Sjis("[ たろう  with Ｔobrisk95 Ver.1.1 in 1997/03/05 ]");
  EXPECT_EQ(ReadFile(UpFile()), Lines({"I3", "R345", Sjis("質問の件"), Sjis("了解です。"), "", footer, "/ES", "E", "M",
                                       "W", "1234", "", Sjis("連絡"), Sjis("よろしく。"), "", footer, "/ES", "E"}));
}

TEST_F(CliWriting, UpAsksBeforeTouchingAnExistingFile) {
  testing::WriteFile(cli.WorkDir() + "tmp/a.TXT", "title\nbody\n");
  testing::WriteFile(cli.WorkDir() + "list.tsv", "1\tBBS\t0\tb\t0\ttitle\tNEW\ta.TXT\t0\n");
  EXPECT_EQ(cli.Run({"settings", "set", "MessageFooter", ""}).exit_code, 0);
  const std::string block = Lines({"BF", "W", "title", "body", "/ES", "E"});
  testing::WriteFile(UpFile(), "earlier\r\n");

  const auto asked = cli.Run({"up", "list.tsv"}, {kEpoch});
  EXPECT_EQ(asked.exit_code, 1);
  EXPECT_EQ(asked.out, "");
  EXPECT_NE(asked.err.find("同名のアップファイルが存在します。削除しますか？"), std::string::npos) << asked.err;
  EXPECT_EQ(ReadFile(UpFile()), "earlier\r\n");

  EXPECT_EQ(cli.Run({"up", "--append", "list.tsv"}, {kEpoch}).exit_code, 0);
  EXPECT_EQ(ReadFile(UpFile()), "earlier\r\n" + block);
  EXPECT_EQ(cli.Run({"up", "--replace", "list.tsv"}, {kEpoch}).exit_code, 0);
  EXPECT_EQ(ReadFile(UpFile()), block);
}

TEST_F(CliWriting, UpSkipsDeletedAndMissingEntries) {
  testing::WriteFile(cli.WorkDir() + "tmp/b.TXT", "kept\n");
  testing::WriteFile(cli.WorkDir() + "list.tsv",
                     "1\tBBS\t1\tb\t0\tgone\tNEW\tb.TXT\t1\n"
                     "2\tBBS\t2\tb\t0\tmissing\tNEW\tnone.TXT\t0\n"
                     "\n"
                     "3\tCUG\t7\tb\t-1\tkept\tMove\tb.TXT\t0\n");
  EXPECT_EQ(cli.Run({"settings", "set", "MessageFooter", ""}).exit_code, 0);
  const auto r = cli.Run({"up", "list.tsv"}, {kEpoch});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "メッセージテンポファイル[none.TXT]が存在しません。\nスキップします。\n");
  EXPECT_EQ(ReadFile(UpFile()), Lines({"B7", "W", "kept", "/ES", "E"}));
}

TEST_F(CliWriting, UpReadsUtf8CompositionFilesBackAsShiftJis) {
  // What a Linux editor saves: UTF-8. The upload file gets Shift-JIS only.
  testing::WriteFile(cli.WorkDir() + "tmp/u.TXT", "質問の件\n了解です。〜\n");
  testing::WriteFile(cli.WorkDir() + "tmp/s.TXT", Sjis("連絡\r\nよろしく。\r\n"));
  testing::WriteFile(cli.WorkDir() + "tmp/broken.TXT", "t\n\x82\xFF\n");
  testing::WriteFile(cli.WorkDir() + "tmp/emoji.TXT", "題\n笑顔😀\n");
  testing::WriteFile(cli.WorkDir() + "list.tsv", Sjis("1\tIBBS\t3\tb\t345\t質問の件\tRES\tu.TXT\t0\r\n"
                                                      "2\tBBS\t1\tb\t0\tt\tNEW\tbroken.TXT\t0\r\n"
                                                      "3\tBBS\t1\tb\t0\t題\tNEW\temoji.TXT\t0\r\n"
                                                      "4\tMAIL\t1234\tMAIL : b\t0\t連絡\tNEW\ts.TXT\t0\r\n"));
  EXPECT_EQ(cli.Run({"settings", "set", "MessageFooter", ""}).exit_code, 0);
  const auto r = cli.Run({"up", "list.tsv"}, {kEpoch});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err,
            "メッセージテンポファイル[broken.TXT]はShift-JISでもUTF-8でもありません。\nスキップします。\n"
            "メッセージテンポファイル[emoji.TXT]の2行目にShift-JISで書けない文字(U+1F600)があります。\n"
            "スキップします。\n");
  EXPECT_EQ(ReadFile(UpFile()), Lines({"I3", "R345", Sjis("質問の件"), Sjis("了解です。〜"), "/ES", "E",  //
                                       "M", "W", "1234", "", Sjis("連絡"), Sjis("よろしく。"), "/ES", "E"}));

  // When no entry can be written the output fails and the upload file stays as it was.
  testing::WriteFile(cli.WorkDir() + "none.tsv", "1\tBBS\t1\tb\t0\tt\tNEW\tbroken.TXT\t0\r\n");
  EXPECT_EQ(cli.Run({"up", "--replace", "none.tsv"}, {kEpoch}).exit_code, 1);
  EXPECT_EQ(ReadFile(UpFile()), Lines({"I3", "R345", Sjis("質問の件"), Sjis("了解です。〜"), "/ES", "E",  //
                                       "M", "W", "1234", "", Sjis("連絡"), Sjis("よろしく。"), "/ES", "E"}));
}

TEST_F(CliWriting, UpRefusals) {
  testing::WriteFile(cli.WorkDir() + "tmp/a.TXT", "t\n");
  testing::WriteFile(cli.WorkDir() + "bad.tsv", "1\tBBS\t1\tb\t0\tt\tNEW\ta.TXT\n");
  auto r = cli.Run({"up", "bad.tsv"}, {kEpoch});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("line 1"), std::string::npos);
  testing::WriteFile(cli.WorkDir() + "dead.tsv", "1\tBBS\t1\tb\t0\tt\tNEW\ta.TXT\t1\n");
  EXPECT_EQ(cli.Run({"up", "dead.tsv"}, {kEpoch}).exit_code, 1);
  EXPECT_EQ(cli.Run({"up", "missing.tsv"}, {kEpoch}).exit_code, 1);
  EXPECT_EQ(cli.Run({"up"}).exit_code, 2);
  EXPECT_EQ(cli.Run({"up", "--append", "--replace", "dead.tsv"}).exit_code, 2);
  EXPECT_FALSE(Exists(UpFile()));

  // An UpDir that does not exist: the system's error, nothing written.
  testing::WriteFile(cli.WorkDir() + "ok.tsv", "1\tBBS\t1\tb\t0\tt\tNEW\ta.TXT\t0\n");
  EXPECT_EQ(cli.Run({"settings", "set", "UpDir", cli.WorkDir() + "nowhere"}).exit_code, 0);
  r = cli.Run({"up", "ok.tsv"}, {kEpoch});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("nowhere"), std::string::npos) << r.err;
  // A DefaultNet that names no net.
  EXPECT_EQ(cli.Run({"settings", "set", "DefaultNet", "3"}).exit_code, 0);
  EXPECT_EQ(cli.Run({"up", "ok.tsv"}, {kEpoch}).exit_code, 1);
}

// A capture with the board message by はなこ of the worked example, followed by
// the next message's header and that message, which runs to the end of the log.
std::string ReplyCapture() {
  std::string out;
  for (const std::string& l : {testing::MainMenuLine(), testing::BbsHeader(12, Sjis("雑談ボード")),
                               testing::NewHeader(345, Sjis("質問"), 10, Sjis("はなこ"), "03/05"), Sjis("こんにちは。"),
                               std::string(), Sjis("　元気ですか。"),
                               testing::NewHeader(346, Sjis("次"), 11, Sjis("じろう"), "03/05"), std::string("next")}) {
    out += l + "\r\n";
  }
  return out;
}

// The composition file name the tool's clock gives for kEpoch in this time zone.
std::string NameAtEpoch() {
  const std::time_t t = 857563200;
  std::tm tm{};
  ::localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%m%d%H%M%S.TXT", &tm);
  return buf;
}

TEST_F(CliWriting, QuotePreparesTheCompositionFile) {
  testing::WriteFile(cli.WorkDir() + "ABCD0305.LOG", ReplyCapture());
  const auto r = cli.Run({"quote", "--seq", "1", "--kind", "res", "ABCD0305.LOG"}, {kEpoch});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string path = cli.WorkDir() + "tmp/" + NameAtEpoch();
  EXPECT_EQ(r.out, path + "\n");
  EXPECT_EQ(ReadFile(path),
            Lines({Sjis("{ここにタイトルを書いて下さい}"), Sjis("[ はなこさんへのレスです. BBS12 / Fc.345 ]"), "",
                   Sjis(">こんにちは。"), Sjis(">元気ですか。")}));

  const std::string first = ReadFile(path);

  // Under the same clock each run takes a file of its own (the next free
  // second): no run overwrites another's composition.
  const auto mail = cli.Run({"quote", "--seq", "1", "--kind", "mail", "ABCD0305.LOG"}, {kEpoch});
  ASSERT_EQ(mail.exit_code, 0) << mail.err;
  ASSERT_NE(mail.out, r.out);
  EXPECT_EQ(ReadFile(mail.out.substr(0, mail.out.size() - 1)),
            Lines({Sjis("{ここにタイトルを書いて下さい}"), Sjis(">こんにちは。"), Sjis(">元気ですか。")}));

  const auto move = cli.Run({"quote", "--seq", "2", "--kind", "move", "ABCD0305.LOG"}, {kEpoch});
  ASSERT_EQ(move.exit_code, 0) << move.err;
  ASSERT_NE(move.out, mail.out);
  EXPECT_EQ(ReadFile(move.out.substr(0, move.out.size() - 1)),
            Lines({Sjis("{ここにタイトルを書いて下さい}"),
                   Sjis("[ 雑談ボード より、じろうさんへの移動レスです. BBS12 / Fc.346 ]"), "", ">next"}));
  EXPECT_EQ(ReadFile(path), first);
}

TEST_F(CliWriting, QuoteRefusals) {
  testing::WriteFile(cli.WorkDir() + "ABCD0305.LOG", ReplyCapture());
  EXPECT_EQ(cli.Run({"quote", "--seq", "3", "--kind", "res", "ABCD0305.LOG"}, {kEpoch}).exit_code, 1);
  EXPECT_EQ(cli.Run({"quote", "--seq", "0", "--kind", "res", "ABCD0305.LOG"}, {kEpoch}).exit_code, 1);
  EXPECT_EQ(cli.Run({"quote", "--seq", "1", "--kind", "new", "ABCD0305.LOG"}).exit_code, 2);
  EXPECT_EQ(cli.Run({"quote", "--kind", "res", "ABCD0305.LOG"}).exit_code, 2);
  EXPECT_EQ(cli.Run({"quote", "--seq", "1", "--kind", "res"}).exit_code, 2);
  EXPECT_FALSE(Exists(cli.WorkDir() + "tmp/" + NameAtEpoch()));
}

}  // namespace
}  // namespace tobrisk
