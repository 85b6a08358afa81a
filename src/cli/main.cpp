// tobrisk-cli: the headless companion of the desktop program. Same work folder
// (the current directory), same NET.TDT and settings store; never shows a window.
#include <QCoreApplication>
#include <algorithm>
#include <iostream>
#include <new>

#include "cli/command.h"
#include "core/text/io_error.h"

using tobrisk::cli::Commands;

namespace {

void PrintUsage(std::ostream& out) {
  out << "Usage: tobrisk-cli COMMAND [ARGS...]\n"
         "The command-line companion of Tobrisk, the offline reader and writer for the\n"
         "NORU BBS host. It works on the current directory as the work folder.\n\nCommands:\n";
  auto commands = Commands();
  std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  for (const auto& c : commands) out << "  " << c.synopsis << "\n      " << c.summary << "\n";
  out << "\nOptions:\n  --help     show this text\n  --version  show the version\n"
         "\nExit codes: 0 success, 1 refused or failed, 2 usage error.\n"
         "Text is printed as UTF-8; --sjis prints the Shift-JIS bytes unchanged.\n"
         "SOURCE_DATE_EPOCH, when set, fixes the clock (seconds since the epoch).\n";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);  // settings store and process runner need it
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(std::cerr);
    return tobrisk::cli::kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(std::cout);
    return tobrisk::cli::kExitOk;
  }
  if (args[0] == "--version") {
    std::cout << "tobrisk-cli 1.1\n";
    return tobrisk::cli::kExitOk;
  }
  for (const auto& command : Commands()) {
    if (command.name != args[0]) continue;
    try {
      return command.run(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const tobrisk::cli::UsageError& e) {
      std::cerr << "tobrisk-cli " << command.name << ": " << e.message << "\nUsage: tobrisk-cli " << command.synopsis
                << '\n';
      return tobrisk::cli::kExitUsage;
    } catch (const tobrisk::IoError& e) {
      std::cerr << "tobrisk-cli: " << e.what() << '\n';
      return tobrisk::cli::kExitRefused;
    } catch (const std::bad_alloc&) {
      std::cerr << "tobrisk-cli: out of memory\n";
      return tobrisk::cli::kExitRefused;
    }
  }
  std::cerr << "tobrisk-cli: unknown command '" << args[0] << "'\n";
  PrintUsage(std::cerr);
  return tobrisk::cli::kExitUsage;
}
