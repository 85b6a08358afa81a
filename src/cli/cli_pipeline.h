// The reading pipeline of the command-line tool ("as `list`"), shared by the
// commands that work on opened logs: the open pipeline without windows.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"

namespace tobrisk::cli {

// Whether a command needs the messages' texts after reading the list.
enum class MessageTexts { Drop, Keep };

// Starts the session on the current directory, then: same-net check, read
// marks of the logs' net loaded, escapes removed, net lookup, parse, marks
// applied, sort. Writes nothing: no NOESC.LOG (with `Keep` the escape-free text
// is held in state.escape_free_text), no read marks, no settings, no recent list.
// Refusals are printed to stderr; returns false when the command must stop
// (exit 1). A log without messages is reported and gives an empty list (true).
// IoError propagates to main.
bool ReadLogsAsList(CliSession& session, const std::vector<std::string>& logs, MessageTexts texts);

// Buffered output to stdout. Text is collected as Shift-JIS and written in big
// blocks, converted to UTF-8 unless `sjis` is set. Blocks are cut at line ends
// only, so a double-byte character is never split.
class TextOutput {
 public:
  explicit TextOutput(bool sjis) : sjis_(sjis) { buffer_.reserve(kBlock + 4096); }
  ~TextOutput() = default;  // Flush() explicitly: a failed write must be reported
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  std::string& Buffer() { return buffer_; }
  // Call after each complete line: writes the block once it is big enough.
  void LineDone() {
    if (buffer_.size() >= kBlock) Flush();
  }
  void Flush();

 private:
  static constexpr size_t kBlock = 1 << 20;
  bool sjis_;
  std::string buffer_;
};

}  // namespace tobrisk::cli
