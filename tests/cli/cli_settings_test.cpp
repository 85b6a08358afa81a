#include <gtest/gtest.h>

#include "capture_generator.h"
#include "cli_runner.h"

namespace tobrisk {
namespace {

TEST(CliSettings, FirstStartPrintsEveryDefault) {
  testing::CliRunner cli;
  const auto r = cli.Run({"settings"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Settings Control\tQuotationMarks\t>\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Control\tReadTypeMax\t1000\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Net\tDefaultNet\t-1\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Font\tMessageViewFontName\tＭＳ Ｐゴシック\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Control\tMessageFooter\t[ $H  with Ｔobrisk95 Ver.$V in $Y/$M/$D ]\n"),
            std::string::npos);
  // An empty Editor is the built-in editor; an external one reads and writes UTF-8.
  EXPECT_NE(r.out.find("Settings Control\tEditor\t\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Control\tEditorEncoding\t1\n"), std::string::npos);
  size_t lines = 0;
  for (char c : r.out) lines += c == '\n';
  EXPECT_EQ(lines, 48u);
}

TEST(CliSettings, SetRoundTripsTextAndIntegers) {
  testing::CliRunner cli;
  EXPECT_EQ(cli.Run({"settings", "set", "MessageFooter", "[ $H です ]"}).exit_code, 0);
  EXPECT_EQ(cli.Run({"settings", "set", "ReadTypeMax", "-7"}).exit_code, 0);
  EXPECT_EQ(cli.Run({"settings", "set", "Path3", "/logs/ログ.LOG"}).exit_code, 0);
  const auto r = cli.Run({"settings"});
  EXPECT_NE(r.out.find("Settings Control\tMessageFooter\t[ $H です ]\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings Control\tReadTypeMax\t-7\n"), std::string::npos);
  EXPECT_NE(r.out.find("Settings LogPath\tPath3\t/logs/ログ.LOG\n"), std::string::npos);
  // The Shift-JIS bytes come back unchanged with --sjis.
  const auto s = cli.Run({"settings", "--sjis"});
  EXPECT_NE(s.out.find("MessageFooter\t[ $H \x82\xc5\x82\xb7 ]\n"), std::string::npos);
  // An empty value stays empty rather than falling back to the default.
  EXPECT_EQ(cli.Run({"settings", "set", "QuotationMarks", ""}).exit_code, 0);
  EXPECT_NE(cli.Run({"settings"}).out.find("\tQuotationMarks\t\n"), std::string::npos);
}

TEST(CliSettings, UsageAndRefusals) {
  testing::CliRunner cli;
  EXPECT_EQ(cli.Run({"settings", "set", "NoSuchSetting", "1"}).exit_code, 2);
  EXPECT_EQ(cli.Run({"settings", "set", "ReadTypeMax", "abc"}).exit_code, 1);
  EXPECT_EQ(cli.Run({"nonsense"}).exit_code, 2);
  EXPECT_EQ(cli.Run({}).exit_code, 2);
  const auto help = cli.Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("settings"), std::string::npos);
  EXPECT_EQ(cli.Run({"--version"}).out, "tobrisk-cli 1.1\n");
}

}  // namespace
}  // namespace tobrisk
