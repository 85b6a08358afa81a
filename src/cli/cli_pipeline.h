// The reading pipeline of the command-line tool ("as `list`"), shared by the
// commands that work on opened logs: the open pipeline without windows.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/cli_support.h"
#include "core/text/sjis.h"

namespace tobrisk::cli {

// Whether a command needs the messages' texts after reading the list.
enum class MessageTexts { Drop, Keep };

// Starts the session on the current directory, then: same-net check, read
// marks of the logs' net loaded, escapes removed, net lookup, parse, marks
// applied, sort. Writes nothing into the work folder: no NOESC.LOG (with `Keep`
// the escape-free text goes to a nameless temporary file, state.escape_free_text;
// a failed write of it throws IoError), no read marks, no settings, no recent list.
// Refusals are printed to stderr; returns false when the command must stop
// (exit 1). A log without messages is reported and gives an empty list (true).
// IoError propagates to main.
bool ReadLogsAsList(CliSession& session, const std::vector<std::string>& logs, MessageTexts texts);

// ReadLogsAsList without moving the entries into list order: they stay in file
// order and `order` receives the list order (see SortedOrder), for a command
// that visits them through it.
bool ReadLogsInFileOrder(CliSession& session, const std::vector<std::string>& logs, MessageTexts texts,
                         std::vector<uint32_t>& order);

// Buffered output to stdout. Text is collected as Shift-JIS and written in big
// blocks, converted to UTF-8 unless `sjis` is set. Blocks are cut at line ends
// only, so a double-byte character is never split. Full blocks are converted and
// written by a second thread while the next block is being filled; the bytes
// and their order are the same as writing them in turn.
class TextOutput {
 public:
  explicit TextOutput(bool sjis);
  ~TextOutput();  // Flush() explicitly: a failed write must be reported
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  std::string& Buffer() { return buffer_; }
  // Call after each complete line: hands the block on once it is big enough.
  void LineDone() {
    if (buffer_.size() >= kBlock) HandOn();
  }
  // Writes everything collected and waits for it; throws IoError when a write failed.
  void Flush();

 private:
  static constexpr size_t kBlock = size_t{128} * 1024;
  void HandOn();
  void WriterLoop();
  // Converts and writes one block; false on a failed write (errno set).
  bool Write(const std::string& block);
  void ThrowIfFailed();

  bool sjis_;
  std::string buffer_;   // being filled
  std::string pending_;  // handed to the writer
  Utf8Buffer utf8_;      // the writer's conversion buffer
  std::thread writer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool has_pending_ = false;
  bool stop_ = false;
  int write_errno_ = 0;  // first failed write's errno, 0 when none
};

}  // namespace tobrisk::cli
