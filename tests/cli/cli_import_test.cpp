#include <gtest/gtest.h>

#include "board_capture_generator.h"
#include "capture_generator.h"
#include "cli_runner.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::UserFileText;

class CliImport : public ::testing::Test {
 protected:
  void SetUp() override { testing::WriteFile(cli_.WorkDir() + "NET.TDT", "ABCD\tNetA\tTaro\tUPA\r\n"); }
  std::string Path(const std::string& name) const { return cli_.WorkDir() + name; }
  std::string File(const std::string& name) const { return ReadWholeFile(Path(name)); }
  testing::CliRunner cli_;
};

TEST_F(CliImport, PrintsTheReportAndWritesTheNetsFiles) {
  testing::BoardCaptureOptions o;
  o.members = 12;
  o.members_per_page = 5;
  const auto capture = testing::GenerateBoardCapture(o);
  testing::WriteFile(Path("abcd0101.log"), capture.bytes);
  const auto r = cli_.Run({"import", "abcd0101.log"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "ボード情報を更新しました。\nユーザ情報を更新しました。\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(File("ABCD.USR"), UserFileText(testing::ExpectedUsers(capture)));
  EXPECT_EQ(File("ABCD.BRD").substr(0, 2), "1\t");

  // GetIBbsList 1 keeps the IBBS boards marked "Skip".
  const size_t without_skip = testing::ExpectedBoards(capture, 0).size();
  const size_t with_skip = testing::ExpectedBoards(capture, 1).size();
  ASSERT_LT(without_skip, with_skip);
  auto lines = [](const std::string& text) {
    size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
  };
  EXPECT_EQ(lines(File("ABCD.BRD")), without_skip);
  ASSERT_EQ(cli_.Run({"settings", "set", "GetIBbsList", "1"}).exit_code, 0);
  ASSERT_EQ(cli_.Run({"import", Path("abcd0101.log")}).exit_code, 0);
  EXPECT_EQ(lines(File("ABCD.BRD")), with_skip);
}

TEST_F(CliImport, NothingFoundKeepsTheFiles) {
  testing::WriteFile(Path("ABCD.BRD"), "1\t3\tBBS\told\r\n");
  testing::WriteFile(Path("ABCD0102.LOG"), testing::MainMenuLine() + "\r\n");
  const auto r = cli_.Run({"import", "ABCD0102.LOG"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "ボード情報は見つかりませんでした。\nユーザ情報は見つかりませんでした。\n");
  EXPECT_EQ(File("ABCD.BRD"), "1\t3\tBBS\told\r\n");
  EXPECT_FALSE(FileExists(Path("ABCD.USR")));
}

TEST_F(CliImport, RefusalsAndBadNumbersExitOneWithFilesUntouched) {
  testing::WriteFile(Path("ABCD.BRD"), "1\t3\tBBS\told\r\n");
  const std::string bad =
      testing::BbsListStartLine() + "\r\n" +
      testing::BbsBoardRow(testing::BoardNumberCell(4, testing::BoardNumberForm::Ascii), "BBS", "fine") + "\r\n" +
      testing::BbsBoardRow("[ 4a ]", "BBS", "broken") + "\r\n";
  testing::WriteFile(Path("ABCD0103.LOG"), bad);
  auto r = cli_.Run({"import", "ABCD0103.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "'4a' は整数ではありません\n");
  EXPECT_EQ(File("ABCD.BRD"), "1\t3\tBBS\told\r\n");

  testing::WriteFile(Path("QQQQ0101.LOG"), testing::GenerateBoardCapture({}).bytes);
  r = cli_.Run({"import", "QQQQ0101.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "ログファイル[QQQQ0101.LOG]はネット設定がされていません。\n");
  EXPECT_FALSE(FileExists(Path("QQQQ.BRD")));

  r = cli_.Run({"import", "ABCD-missing.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("ABCD-missing.LOG"), std::string::npos);

  std::remove(Path("NET.TDT").c_str());
  r = cli_.Run({"import", "ABCD0103.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("ネット設定を先に行って下さい。"), std::string::npos);
  EXPECT_EQ(File("ABCD.BRD"), "1\t3\tBBS\told\r\n");

  EXPECT_EQ(cli_.Run({"import"}).exit_code, 2);
  EXPECT_EQ(cli_.Run({"import", "a.LOG", "b.LOG"}).exit_code, 2);
}

}  // namespace
}  // namespace tobrisk
