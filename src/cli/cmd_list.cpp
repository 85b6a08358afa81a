// tobrisk-cli list [--sjis] LOG...
#include "cli/cli_pipeline.h"
#include "cli/command.h"
#include "ingest/message_entry.h"

namespace tobrisk::cli {
namespace {

int RunList(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--sjis"});
  if (parsed.positional.empty()) throw UsageError{"expected at least one LOG"};
  CliSession session;
  if (!ReadLogsAsList(session, parsed.positional, MessageTexts::Drop)) return kExitRefused;
  TextOutput out(parsed.Has("--sjis"));
  for (const MessageEntry& e : session.state.messages.Entries()) {
    AppendEntryFields(out.Buffer(), e, '\t');
    out.Buffer().push_back('\n');
    out.LineDone();
  }
  out.Flush();
  return kExitOk;
}

const Registration registration({"list", "list [--sjis] LOG...",
                                 "open the logs as the program does (without saving anything) and print "
                                 "every message entry, its 14 fields TAB-separated, in list order",
                                 RunList});

}  // namespace
}  // namespace tobrisk::cli
