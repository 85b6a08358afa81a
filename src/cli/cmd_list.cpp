// tobrisk-cli list [--sjis] LOG...
#include "cli/cli_pipeline.h"
#include "cli/command.h"
#include "core/reading/message_entry.h"

namespace tobrisk::cli {
namespace {

int RunList(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--sjis"});
  if (parsed.positional.empty()) throw UsageError{"expected at least one LOG"};
  CliSession session;
  if (!ReadLogsAsList(session, parsed.positional, MessageTexts::Drop)) return kExitRefused;
  const MessageList& messages = session.state.messages;
  WriteLinesInOrder(messages.Size(), parsed.Has("--sjis"), [&](size_t first, size_t last, std::string& out) {
    // The entries stay where they were read: those of the next positions are fetched ahead.
    constexpr size_t kAhead = 8;
    for (size_t p = first; p < last; ++p) {
      if (p + kAhead < last) {
        const char* ahead = reinterpret_cast<const char*>(&messages[p + kAhead]);
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + sizeof(MessageEntry) - 1);
      }
      AppendEntryFields(out, messages[p], SeqNoAt(p), '\t');
      out.push_back('\n');
    }
  });
  return kExitOk;
}

const Registration registration({"list", "list [--sjis] LOG...",
                                 "open the logs as the program does (without saving anything) and print "
                                 "every message entry, its 14 fields TAB-separated, in list order",
                                 RunList});

}  // namespace
}  // namespace tobrisk::cli
