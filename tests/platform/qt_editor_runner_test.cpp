#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTimer>

#include "capture_generator.h"
#include "platform/qt_editor_runner.h"
#include "core/text/files.h"

namespace tobrisk {
namespace {

// A stand-in editor: waits a little, then writes its argument count into the
// file named by its last argument.
constexpr const char* kScript =
    "#!/bin/sh\n"
    "sleep 0.2\n"
    "for last; do :; done\n"
    "printf 'edited %s\\n' \"$#\" > \"$last\"\n";

class QtEditorRunnerTest : public ::testing::Test {
 protected:
  QtEditorRunnerTest() {
    CreateDirectory(dir + "/with blank");
    testing::WriteFile(script, kScript);
    ::chmod(script.c_str(), 0755);
    testing::WriteFile(file, "{title}\r\n");
  }
  ~QtEditorRunnerTest() override { testing::RemoveTree(dir); }

  std::string dir = testing::MakeTempDir("tobrisk-editor");
  std::string script = dir + "/with blank/fake editor";
  std::string file = dir + "/with blank/0305123456.TXT";
  QtEditorRunner runner;
  std::string error;
};

TEST_F(QtEditorRunnerTest, ExistingProgramGetsThePathAsItsOneArgument) {
  // The event loop keeps running while the editor runs.
  bool timer_fired = false;
  QTimer::singleShot(20, [&] { timer_fired = true; });
  ASSERT_TRUE(runner.Run(script, file, error)) << error;
  EXPECT_TRUE(timer_fired);
  EXPECT_EQ(ReadWholeFile(file), "edited 1\n");
}

TEST_F(QtEditorRunnerTest, CommandLineIsSplitIntoWords) {
  ASSERT_TRUE(runner.Run("/bin/sh \"" + script + "\" --wait", file, error)) << error;
  EXPECT_EQ(ReadWholeFile(file), "edited 2\n");  // --wait and the path

  QString program;
  QStringList arguments;
  QtEditorRunner::CommandFor("code --wait", "/tmp/a b.TXT", program, arguments);
  EXPECT_EQ(program, "code");
  EXPECT_EQ(arguments, (QStringList{"--wait", "/tmp/a b.TXT"}));
}

TEST_F(QtEditorRunnerTest, EditorThatCannotStart) {
  EXPECT_FALSE(runner.Run("", file, error));
  EXPECT_FALSE(runner.Run("   ", file, error));
  EXPECT_FALSE(runner.Run(dir + "/no such editor", file, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadWholeFile(file), "{title}\r\n");
}

}  // namespace
}  // namespace tobrisk

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
