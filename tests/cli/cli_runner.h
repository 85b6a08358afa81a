// Runs the real tobrisk-cli binary in a fresh work folder with its own settings
// store (XDG_CONFIG_HOME) and captures its output.
#pragma once

#include <string>
#include <vector>

namespace tobrisk::testing {

struct CliResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class CliRunner {
 public:
  CliRunner();   // a fresh work folder and config folder
  ~CliRunner();  // removes both
  CliRunner(const CliRunner&) = delete;
  CliRunner& operator=(const CliRunner&) = delete;

  // Runs tobrisk-cli with `args` in the work folder; `env` adds NAME=VALUE pairs.
  CliResult Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) const;

  const std::string& WorkDir() const { return work_; }  // with a trailing "/"
  const std::string& ConfigDir() const { return config_; }

 private:
  std::string root_;
  std::string work_;
  std::string config_;
};

}  // namespace tobrisk::testing
