// A process killed in the middle of rewriting a whole file leaves either the old
// or the new complete file, never a mix or a truncation.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>

#include "core/boards/board_files.h"
#include "capture_generator.h"
#include "core/reading/read_marks.h"
#include "core/settings/net_definitions.h"
#include "core/text/files.h"

namespace tobrisk {
namespace {

// Runs `rewrite(generation)` in a child over and over, kills it at random
// moments, and checks the file after each kill.
void KillWhileRewriting(const std::string& path, const std::function<void(int)>& rewrite,
                        const std::function<bool(const std::string&)>& complete) {
  std::mt19937 rng(42);
  rewrite(0);
  for (int round = 0; round < 40; ++round) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int generation = 1;; ++generation) rewrite(generation);
    }
    usleep(static_cast<useconds_t>(200 + rng() % 3000));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string bytes = ReadWholeFile(path);
    ASSERT_TRUE(complete(bytes)) << "round " << round << ": a damaged file of " << bytes.size() << " bytes";
  }
}

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TrailingSeparator(testing::MakeTempDir()); }
  void TearDown() override { testing::RemoveTree(dir_); }
  std::string dir_;
  static constexpr int kRows = 20000;

  // kRows identical CR LF lines: the complete file of one generation.
  static bool OneLineRepeated(const std::string& bytes) {
    const std::string first = bytes.substr(0, bytes.find("\r\n") + 2);
    if (first.size() < 2 || bytes.size() != first.size() * kRows) return false;
    for (size_t i = 0; i < bytes.size(); i += first.size()) {
      if (bytes.compare(i, first.size(), first) != 0) return false;
    }
    return true;
  }
};

TEST_F(CrashSafety, NetFile) {
  auto rewrite = [&](int generation) {
    NetList nets;
    for (int i = 0; i < kRows; ++i) nets.Append({"H" + std::to_string(generation), "N", "", "U"});
    SaveNetDefinitions(nets, dir_);
  };
  KillWhileRewriting(dir_ + "NET.TDT", rewrite, OneLineRepeated);
}

TEST_F(CrashSafety, BoardAndUserFiles) {
  auto boards_of = [](int generation) {
    BoardList boards;
    for (int i = 0; i < kRows; ++i)
      boards.push_back({std::to_string(i + 1), std::to_string(generation), "BBS", "name"});
    return boards;
  };
  auto rewrite = [&](int generation) {
    WriteBoardFile(boards_of(generation), dir_, "ABCD");
    UserList users(static_cast<size_t>(kRows), UserEntry{"1", std::to_string(generation), "h"});
    WriteUserFile(users, dir_, "ABCD");
  };
  KillWhileRewriting(dir_ + "ABCD.BRD", rewrite, [](const std::string& bytes) {
    size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    return lines == static_cast<size_t>(kRows) && bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n";
  });
  const std::string users = ReadWholeFile(dir_ + "ABCD.USR");
  size_t lines = 0;
  for (char c : users) lines += c == '\n';
  EXPECT_EQ(lines, static_cast<size_t>(kRows));
}

TEST_F(CrashSafety, ReadMarkFile) {
  auto rewrite = [&](int generation) {
    std::vector<ReadMarkRecord> records(static_cast<size_t>(kRows),
                                        ReadMarkRecord{"BBS", "1", std::to_string(generation), "x"});
    WriteReadMarkFile(dir_ + "ABCD.RAD", records);
  };
  KillWhileRewriting(dir_ + "ABCD.RAD", rewrite, OneLineRepeated);
  std::vector<ReadMarkRecord> records;
  ReadReadMarkFile(dir_ + "ABCD.RAD", records);
  EXPECT_EQ(records.size(), static_cast<size_t>(kRows));
}

}  // namespace
}  // namespace tobrisk
