// What the commands of tobrisk-cli share: the ports for a terminal, output of
// Shift-JIS text, and the work state set up on the current directory.
#pragma once

#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/reading/work_state.h"
#include "platform/qt_settings_store.h"
#include "platform/system_clock.h"
#include "core/ports/ports.h"

namespace tobrisk::cli {

// Shift-JIS text for the terminal: UTF-8 with every LF CR pair as one newline.
std::string ForTerminal(std::string_view sjis);

// Refusals and reports go to stderr; questions cannot be asked, so Confirm
// prints the question and answers Cancel (the command then stops).
class TerminalPrompter final : public Prompter {
 public:
  void Error(std::string_view text) override;
  void Info(std::string_view text) override;
  Answer Confirm(std::string_view text, Answer default_answer = Answer::Yes) override;
  void Beep() override {}
  int errors = 0;  // how many errors were reported
};

// The work state of the current directory with the program's store and nets.
struct CliSession {
  CliSession();
  TerminalPrompter prompter;
  NullProgress progress;
  SystemClock clock;
  QtSettingsStore store;
  Ports ports;
  WorkState state;
};

// Splits "--flag" options from the rest; UsageError on an unknown option.
struct ParsedArgs {
  std::vector<std::string> flags;  // given flags, as written
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> values;  // --name VALUE
  bool Has(std::string_view flag) const;
  const std::string* Value(std::string_view name) const;
};
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& known_flags,
                     const std::vector<std::string>& known_values = {});

}  // namespace tobrisk::cli
