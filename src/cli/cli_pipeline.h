// The reading pipeline of the command-line tool ("as `list`"), shared by the
// commands that work on opened logs: the open pipeline without windows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_support.h"

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

// Formats items 0..count-1 into Shift-JIS lines and writes them to stdout in
// item order, converted to UTF-8 unless `sjis` is set: `format(first, last,
// out)` appends the lines of items [first, last) to `out`. Runs of items are
// formatted (and converted) on two threads at once, each writing its run when
// the runs before it are written, so the bytes are the same as formatting and
// writing the items one after the other. `format` must be safe to call from
// two threads (it reads shared data only). Throws IoError when a write fails;
// nothing is written after a failure.
using LineFormatter = std::function<void(size_t first, size_t last, std::string& out)>;
void WriteLinesInOrder(size_t count, bool sjis, const LineFormatter& format);

}  // namespace tobrisk::cli
