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
#include "cli/line_output.h"

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

}  // namespace tobrisk::cli
