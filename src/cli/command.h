// The command table of tobrisk-cli. Each command lives in its own file and
// registers itself with a static Registration.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tobrisk::cli {

// Exit codes: 0 success, 1 a refusal or failure that stopped the command, 2 usage.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

// Thrown by a command on wrong arguments; main prints it with the usage, exit 2.
struct UsageError {
  std::string message;
};

struct Command {
  std::string name;
  std::string synopsis;  // "list [--sjis] LOG..."
  std::string summary;   // one line for --help
  std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<Command>& Commands();

struct Registration {
  explicit Registration(Command command) { Commands().push_back(std::move(command)); }
};

}  // namespace tobrisk::cli
