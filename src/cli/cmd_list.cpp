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
  // The entries are printed through the list order rather than moved into it.
  std::vector<uint32_t> order;
  if (!ReadLogsInFileOrder(session, parsed.positional, MessageTexts::Drop, order)) return kExitRefused;
  const auto& entries = session.state.messages.Entries();
  WriteLinesInOrder(order.size(), parsed.Has("--sjis"), [&](size_t first, size_t last, std::string& out) {
    constexpr size_t kAhead = 8;  // entries fetched ahead of their formatting
    for (size_t p = first; p < last; ++p) {
      if (p + kAhead < last) {
        const char* ahead = reinterpret_cast<const char*>(&entries[order[p + kAhead]]);
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + sizeof(MessageEntry) - 1);
      }
      // As in the sorted list: the entry of position p with the SeqNo of position p.
      AppendEntryFields(out, entries[order[p]], SeqNoAt(p), '\t');
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
