#include <gtest/gtest.h>

#include <cstdio>

#include "capture_generator.h"
#include "platform/qt_settings_store.h"
#include "core/settings/app_settings.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

class QtSettingsStoreTest : public ::testing::Test {
 protected:
  ~QtSettingsStoreTest() override { testing::RemoveTree(dir); }

  std::string dir = testing::MakeTempDir("tobrisk-store");
  std::string config = dir + "/config";
  std::string ini = config + "/Tobrisk95.ini";
  QString IniPath() const { return QString::fromStdString(ini); }
};

// A save that fails leaves nothing queued: the next successful save (the window
// placement at exit) writes only its own values and the ones stored before.
TEST_F(QtSettingsStoreTest, FailedSaveLeavesNothingForALaterSave) {
  QtSettingsStore store(IniPath());
  AppSettings settings = DefaultSettings();
  SaveSettings(settings, store);

  // The settings folder is out of reach (a file in its place) while OK is pressed.
  ASSERT_EQ(std::rename(config.c_str(), (config + ".away").c_str()), 0);
  testing::WriteFile(config, "not a folder");
  AppSettings cancelled = settings;
  cancelled.quotation_marks = "CANCELLED";
  cancelled.log_dir = "/cancelled";
  EXPECT_THROW(SaveSettings(cancelled, store), IoError);
  EXPECT_EQ(store.Read(kSectionControl, "QuotationMarks"), std::optional<std::string>(">"));
  EXPECT_EQ(store.ReadPath(kSectionControl, "LogDir"), std::optional<std::string>(""));

  // The folder is back; the placement is saved.
  ASSERT_EQ(std::remove(config.c_str()), 0);
  ASSERT_EQ(std::rename((config + ".away").c_str(), config.c_str()), 0);
  WriteRegInteger(store, "TfrmMain", "Left", 12);
  EXPECT_NO_THROW(store.Flush());
  const std::string text = ReadWholeFile(ini);
  EXPECT_EQ(text.find("CANCELLED"), std::string::npos) << text;
  EXPECT_EQ(text.find("/cancelled"), std::string::npos) << text;
  EXPECT_NE(text.find("Left=12"), std::string::npos) << text;
  AppSettings reloaded;
  QtSettingsStore fresh(IniPath());
  LoadSettings(reloaded, fresh);
  EXPECT_TRUE(reloaded == settings);

  // A value that did not exist before the failed save is not written either.
  std::remove(ini.c_str());
  testing::RemoveTree(config);
  testing::WriteFile(config, "not a folder");
  QtSettingsStore first(IniPath());
  EXPECT_THROW(SaveSettings(cancelled, first), IoError);
  EXPECT_FALSE(first.Read(kSectionControl, "QuotationMarks"));
  ASSERT_EQ(std::remove(config.c_str()), 0);
  WriteRegInteger(first, "TfrmMain", "Left", 12);
  EXPECT_NO_THROW(first.Flush());
  EXPECT_EQ(ReadWholeFile(ini).find("CANCELLED"), std::string::npos);
}

// Path settings are UTF-8 text in the INI and read back as such; the other
// texts keep their Shift-JIS handling. Values of earlier versions read sensibly.
TEST_F(QtSettingsStoreTest, PathsAreUtf8TextInTheIni) {
  AppSettings settings = DefaultSettings();
  settings.log_dir = "/home/花子/ログ";
  settings.up_dir = "/srv/ﾃｽ";  // half-width kana whose Shift-JIS bytes are also UTF-8
  settings.editor = "/usr/bin/mousepad";
  settings.paths[0] = "/home/花子/ログ/ABCD0101.LOG";
  settings.paths[1] = "/tmp/\xff\xfe.LOG";  // not UTF-8: its bytes are kept
  settings.quotation_marks = Sjis("＞");
  {
    QtSettingsStore store(IniPath());
    SaveSettings(settings, store);
  }
  const std::string text = ReadWholeFile(ini);
  EXPECT_NE(text.find("LogDir=/home/花子/ログ\n"), std::string::npos) << text;
  EXPECT_NE(text.find("UpDir=/srv/ﾃｽ\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Path0=/home/花子/ログ/ABCD0101.LOG\n"), std::string::npos) << text;
  {
    QtSettingsStore store(IniPath());
    AppSettings reloaded;
    LoadSettings(reloaded, store);
    EXPECT_TRUE(reloaded == settings);
  }

  // Typed into the file by hand.
  std::string edited = text;
  edited.replace(edited.find("LogDir=/home/花子/ログ"), std::string("LogDir=/home/花子/ログ").size(),
                 "LogDir=/home/太郎/テキスト");
  testing::WriteFile(ini, edited);
  {
    QtSettingsStore store(IniPath());
    AppSettings reloaded;
    LoadSettings(reloaded, store);
    EXPECT_EQ(reloaded.log_dir, "/home/太郎/テキスト");
    EXPECT_EQ(reloaded.quotation_marks, Sjis("＞"));
  }

  // A file of an earlier version: each path's UTF-8 bytes were stored as if they
  // were Shift-JIS. Such a value reads back as the path it was; a path typed in
  // by hand reads as itself.
  testing::WriteFile(ini,
                     "[Settings%20Control]\n"
                     "LogDir=" +
                         SjisToUtf8("/home/taro/ログ") +
                         "\n"
                         "UpDir=/srv/アップ\n"
                         "QuotationMarks=＞\n");
  {
    QtSettingsStore store(IniPath());
    AppSettings reloaded;
    LoadSettings(reloaded, store);
    EXPECT_EQ(reloaded.log_dir, "/home/taro/ログ");
    EXPECT_EQ(reloaded.up_dir, "/srv/アップ");
    EXPECT_EQ(reloaded.quotation_marks, Sjis("＞"));
  }
}

}  // namespace
}  // namespace tobrisk
