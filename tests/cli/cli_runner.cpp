#include "cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "capture_generator.h"

extern char** environ;

namespace tobrisk::testing {

CliRunner::CliRunner() {
  root_ = MakeTempDir("tobrisk-cli");
  work_ = root_ + "/work/";
  config_ = root_ + "/config";
  std::filesystem::create_directories(work_);
  std::filesystem::create_directories(config_);
}

CliRunner::~CliRunner() { RemoveTree(root_); }

CliResult CliRunner::Run(const std::vector<std::string>& args, const std::vector<std::string>& env) const {
  const std::string out_path = root_ + "/stdout";
  const std::string err_path = root_ + "/stderr";
  std::vector<std::string> argv_s = {TOBRISK_CLI_PATH};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_s;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("SOURCE_DATE_EPOCH=", 0) == 0) continue;
    env_s.push_back(v);
  }
  env_s.push_back("XDG_CONFIG_HOME=" + config_);
  env_s.insert(env_s.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, work_.c_str());
  pid_t pid;
  CliResult result;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  auto slurp = [](const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  };
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  return result;
}

}  // namespace tobrisk::testing
