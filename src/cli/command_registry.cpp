#include "cli/command.h"

namespace tobrisk::cli {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

}  // namespace tobrisk::cli
