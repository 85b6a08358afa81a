#include <gtest/gtest.h>

#include "capture_generator.h"
#include "fakes.h"
#include "core/settings/app_settings.h"
#include "core/settings/net_definitions.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

TEST(Settings, FirstStartYieldsEveryDefault) {
  testing::MemoryStore store;
  AppSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s, DefaultSettings());
  EXPECT_EQ(s.quotation_marks, ">");
  EXPECT_EQ(s.read_type_max, 1000);
  EXPECT_EQ(s.open_page, 1);
  EXPECT_EQ(s.default_net, -1);
  EXPECT_EQ(s.get_ibbs_list, 0);
  EXPECT_EQ(s.cut_ret, 0);
  EXPECT_EQ(s.message_footer, Sjis("[ $H  with Ｔobrisk95 Ver.$V in $Y/$M/$D ]"));
  for (const FontGroup& g : s.fonts) {
    EXPECT_EQ(g.font_size, 9);
    EXPECT_EQ(g.back_color, "clWhite");
    EXPECT_EQ(g.font_color, "clBlack");
    EXPECT_EQ(g.font_name, Sjis("ＭＳ Ｐゴシック"));
  }
  for (const std::string& p : s.paths) EXPECT_EQ(p, "");
  EXPECT_EQ(s.log_dir, "");
}

TEST(Settings, StoredTextsAndIntegerConversions) {
  testing::MemoryStore store;
  store.Write(kSectionControl, "QuotationMarks", "");  // an existing empty value stays empty
  store.Write(kSectionControl, "ReadTypeMax", "0x10");
  store.Write(kSectionControl, "OpenPage", "abc");
  store.Write(kSectionControl, "CutSpace", "-5");
  store.Write(kSectionControl, "CutTab", "$1F");
  store.Write(kSectionControl, "MessageFooterPos", "5");
  store.Write(kSectionControl, "ResMessageHeaderPos", "0x");  // too short for hex: not decimal either
  store.Write(kSectionFont, "UserListFontSize", "+12");
  AppSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s.quotation_marks, "");
  EXPECT_EQ(s.read_type_max, 16);
  EXPECT_EQ(s.open_page, 1);
  EXPECT_EQ(s.cut_space, -5);
  EXPECT_EQ(s.cut_tab, 31);
  EXPECT_EQ(s.message_footer_pos, 5);  // out of its set, kept as is
  EXPECT_EQ(s.res_message_header_pos, 0);
  EXPECT_EQ(s.Font(Display::UserList).font_size, 12);

  int32_t v = 0;
  EXPECT_TRUE(ConvertRegInteger("0XfF", v));
  EXPECT_EQ(v, 255);
  EXPECT_FALSE(ConvertRegInteger("", v));
  EXPECT_FALSE(ConvertRegInteger("12a", v));
  EXPECT_FALSE(ConvertRegInteger("99999999999", v));
}

TEST(Settings, SaveThenLoadReproducesEveryField) {
  testing::MemoryStore store;
  AppSettings s = DefaultSettings();
  s.paths[0] = "/logs/ABCD0101.LOG";
  s.paths[9] = "/logs/" + Sjis("ログ") + ".LOG";
  s.editor = "/usr/bin/vi";
  s.default_net = -1;
  s.message_footer = Sjis("[ $H です ]");
  s.Font(Display::MessageView).back_color = "$00ff00ff";
  SaveSettings(s, store);
  EXPECT_EQ(store.flushes, 1);
  EXPECT_EQ(store.values.at({"Settings Net", "DefaultNet"}), "-1");
  EXPECT_EQ(store.values.at({"Settings LogPath", "Path1"}), "");
  EXPECT_EQ(store.values.at({"Settings Font", "MessageViewBackColor"}), "$00ff00ff");
  AppSettings back;
  LoadSettings(back, store);
  EXPECT_EQ(back, s);
  // Every field has a distinct name; 17 control values, 10 paths, 20 font values, 1 net.
  EXPECT_EQ(SettingFields(s).size(), 48u);
}

class NetFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TrailingSeparator(testing::MakeTempDir()); }
  void TearDown() override { testing::RemoveTree(dir_); }
  std::string dir_;
  testing::FakePrompter prompter_;
};

TEST_F(NetFileTest, LoadsSavesAndKeepsBytes) {
  const std::string bytes = "ABCD\tNetA\tTaro\tUPA\r\nWXYZ\tNetB\t\tUPB\r\n";
  testing::WriteFile(dir_ + "NET.TDT", bytes);
  NetList nets;
  LoadNetDefinitions(nets, dir_, prompter_);
  ASSERT_EQ(nets.Count(), 2);
  EXPECT_EQ(nets.At(1), (NetDefinition{"WXYZ", "NetB", "", "UPB"}));
  SaveNetDefinitions(nets, dir_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NET.TDT"), bytes);
  EXPECT_TRUE(prompter_.boxes.empty());
}

TEST_F(NetFileTest, OddLinesKeepFourFields) {
  testing::WriteFile(dir_ + "NET.TDT", "A\tB\tC\tD\tE\tF\r\nONLY\r\n\r\nX\tY\r\n");
  NetList nets;
  LoadNetDefinitions(nets, dir_, prompter_);
  ASSERT_EQ(nets.Count(), 4);
  EXPECT_EQ(nets.At(0), (NetDefinition{"A", "B", "C", "F"}));
  EXPECT_EQ(nets.At(1), (NetDefinition{"", "", "", "ONLY"}));
  EXPECT_EQ(nets.At(2), (NetDefinition{"", "", "", ""}));
  EXPECT_EQ(nets.At(3), (NetDefinition{"X", "", "", "Y"}));
  // The nets without a log header (the second and the blank third line) match
  // no capture, and the nets after them keep their indexes.
  EXPECT_EQ(FindNetByLogHeader(nets, "QQQQ"), -1);
  EXPECT_EQ(FindNetByLogHeader(nets, "XYZW"), 3);
  EXPECT_FALSE(nets.At(2).RecognisesLogs());
  EXPECT_TRUE(nets.At(3).RecognisesLogs());
}

TEST_F(NetFileTest, MissingFileWarnsAndLeavesListUnchanged) {
  NetList nets;
  nets.Append({"KEEP", "", "", ""});
  LoadNetDefinitions(nets, dir_, prompter_);
  EXPECT_EQ(nets.Count(), 1);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].kind, "error");
  EXPECT_EQ(prompter_.boxes[0].text, Sjis("[NET.TDT] ファイルが見つかりませんでした。"));
  NetList empty;
  SaveNetDefinitions(empty, dir_);
  EXPECT_EQ(ReadWholeFile(dir_ + "NET.TDT"), "");
}

TEST(Nets, FindByLogHeader) {
  NetList nets;
  EXPECT_EQ(FindNetByLogHeader(nets, "ABCD"), -1);
  nets.Append({"abcd", "", "", ""});
  nets.Append({"AB", "", "", ""});
  nets.Append({"ABCDE", "", "", ""});
  EXPECT_EQ(FindNetByLogHeader(nets, "ABCD"), 0);   // stored header upper-cased
  EXPECT_EQ(FindNetByLogHeader(nets, "abcd"), -1);  // the header text is not
  EXPECT_EQ(FindNetByLogHeader(nets, "ABXY"), 1);   // a shorter header matches its start
  NetList longer;
  longer.Append({"ABCDE", "", "", ""});
  EXPECT_EQ(FindNetByLogHeader(longer, "ABCD"), -1);
}

TEST(Nets, FieldAccessAppendDeleteAndFilter) {
  NetList nets;
  EXPECT_EQ(OpenLogFilter(nets), Sjis("全てのログファイル(*.LOG)|*.LOG|全てのファイル(*.*)|*.*"));
  nets.Append({"ABCD", "N1", "", ""});
  nets.Append({"WXYZ", "N2", "", ""});
  nets.Append({"MMMM", "N3", "", ""});
  nets.Delete(2);
  nets.SetField(1, NetField::HandleName, "h");
  EXPECT_EQ(nets.Field(1, NetField::HandleName), "h");
  nets.Append({"", "N0", "", ""});  // no log header: no entry
  EXPECT_EQ(OpenLogFilter(nets), Sjis("N1ログファイル(ABCD*.LOG)|ABCD*.LOG|N2ログファイル(WXYZ*.LOG)|WXYZ*.LOG|"
                                      "全てのログファイル(*.LOG)|*.LOG|全てのファイル(*.*)|*.*"));
}

}  // namespace
}  // namespace tobrisk
