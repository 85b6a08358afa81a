// A tobrisk-cli killed while it saves the settings leaves the settings file
// either as it was or as the new complete file (the store writes a temporary
// file and renames it), and a later run is not blocked by the dead one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "capture_generator.h"
#include "cli_runner.h"
#include "core/text/files.h"

extern char** environ;

namespace tobrisk {
namespace {

// Starts tobrisk-cli with `args`, its settings under `config`, output discarded.
pid_t StartCli(const std::vector<std::string>& args, const std::string& config) {
  std::vector<std::string> argv_s = {TOBRISK_CLI_PATH};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_s = {"XDG_CONFIG_HOME=" + config};
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("XDG_CONFIG_HOME=", 0) != 0) env_s.push_back(v);
  }
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits up to `limit` for the process; kills it when it is still running.
// Returns whether it ended by itself.
bool WaitOrKill(pid_t pid, std::chrono::microseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return false;
}

// The value of generation g: a marker and about 100 KiB (one argument may
// hold at most 128 KiB).
std::string FooterOf(int generation) {
  return "G" + std::to_string(generation) + "_" + std::string(100 * 1024, static_cast<char>('a' + generation % 26));
}

// The MessageFooter of a complete settings file of some generation up to `last`,
// or -1 when the file is not complete. Every setting is saved at once: all four
// sections and all `settings` values.
int GenerationOf(const std::string& ini, int last, size_t settings) {
  size_t values = 0;
  for (size_t at = 0; (at = ini.find('\n', at)) != std::string::npos; ++at) {
    const size_t next = ini.find('\n', at + 1);
    const std::string line = ini.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
    values += !line.empty() && line[0] != '[' && line.find('=') != std::string::npos;
  }
  if (ini.rfind("[Settings%20Control]\n", 0) != 0 || values != settings || ini.back() != '\n') return -1;
  for (const char* section : {"\n[Settings%20Font]\n", "\n[Settings%20LogPath]\n", "\n[Settings%20Net]\n"}) {
    if (ini.find(section) == std::string::npos) return -1;
  }
  const size_t start = ini.find("\nMessageFooter=");
  if (start == std::string::npos) return -1;
  const size_t end = ini.find('\n', start + 1);
  const std::string footer = ini.substr(start + 15, end - start - 15);
  for (int g = last; g >= 0; --g) {
    if (footer == FooterOf(g)) return g;
  }
  return -1;
}

TEST(CliCrashSafety, KilledSettingsSaveLeavesTheOldOrTheNewFile) {
  testing::CliRunner cli;
  ASSERT_EQ(cli.Run({"settings", "set", "MessageFooter", FooterOf(0)}).exit_code, 0);
  const std::string ini = cli.ConfigDir() + "/Tobrisk95/Tobrisk95.ini";
  const std::string listing = cli.Run({"settings"}).out;
  // Every setting of the listing, and the mark that the paths are UTF-8 text.
  const size_t settings = static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')) + 1;
  ASSERT_EQ(GenerationOf(ReadWholeFile(ini), 0, settings), 0);

  std::mt19937 rng(42);
  int newest = 0;
  int killed = 0;
  for (int round = 1; round <= 40; ++round) {
    const pid_t pid = StartCli({"settings", "set", "MessageFooter", FooterOf(round)}, cli.ConfigDir());
    ASSERT_GT(pid, 0);
    killed += !WaitOrKill(pid, std::chrono::microseconds(rng() % 30000));
    const int generation = GenerationOf(ReadWholeFile(ini), round, settings);
    ASSERT_GE(generation, newest) << "round " << round << ": a damaged or older settings file";
    newest = generation;
  }
  EXPECT_GT(killed, 0);  // some were killed
  // A run after all the killed ones is not blocked by their lock file.
  const pid_t pid = StartCli({"settings", "set", "MessageFooter", FooterOf(99)}, cli.ConfigDir());
  ASSERT_TRUE(WaitOrKill(pid, std::chrono::seconds(20)));
  EXPECT_EQ(GenerationOf(ReadWholeFile(ini), 99, settings), 99);
}

TEST(CliCrashSafety, EmptyLockFileOfAKilledRunDoesNotBlockTheSave) {
  // A run killed between creating a lock file (the settings lock, or the one
  // taken to remove a stale lock) and writing its owner into it leaves it
  // empty; the next save goes ahead once it is two seconds old, not thirty.
  testing::CliRunner cli;
  ASSERT_EQ(cli.Run({"settings", "set", "ReadTypeMax", "1"}).exit_code, 0);
  const std::string lock = cli.ConfigDir() + "/Tobrisk95/Tobrisk95.ini.lock";
  const timespec ten_seconds_ago[2] = {{::time(nullptr) - 10, 0}, {::time(nullptr) - 10, 0}};
  for (const std::string& path : {lock, lock + ".rmlock"}) {
    testing::WriteFile(path, "");
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ten_seconds_ago, 0), 0);
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = StartCli({"settings", "set", "ReadTypeMax", "2"}, cli.ConfigDir());
  ASSERT_TRUE(WaitOrKill(pid, std::chrono::seconds(20)));
  // Well under the thirty seconds a stale lock would cost, even on a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_NE(cli.Run({"settings"}).out.find("\tReadTypeMax\t2\n"), std::string::npos);
}

}  // namespace
}  // namespace tobrisk
