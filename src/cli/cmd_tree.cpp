// tobrisk-cli tree [--sjis] LOG...
#include <algorithm>
#include <charconv>

#include "cli/cli_pipeline.h"
#include "cli/command.h"
#include "core/reading/message_tree.h"
#include "core/text/bytes.h"

namespace tobrisk::cli {
namespace {

int RunTree(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--sjis"});
  if (parsed.positional.empty()) throw UsageError{"expected at least one LOG"};
  CliSession session;
  if (!ReadLogsAsList(session, parsed.positional, MessageTexts::Drop)) return kExitRefused;
  const MessageTree tree = BuildMessageTree(session.state.messages);
  // Node ids run in display order.
  WriteLinesInOrder(tree.Size(), parsed.Has("--sjis"), [&](size_t first, size_t last, std::string& b) {
    constexpr size_t kAhead = 8;  // nodes whose entries are fetched ahead of their texts
    for (size_t node = first; node < std::min(last, first + kAhead); ++node) {
      tree.PrefetchEntry(static_cast<TreeNodeId>(node));
    }
    for (size_t node = first; node < last; ++node) {
      const auto id = static_cast<TreeNodeId>(node);
      if (node + kAhead < last) tree.PrefetchEntry(static_cast<TreeNodeId>(node + kAhead));
      const size_t old = b.size();
      b.resize(old + 36);  // three numbers of at most 11 bytes and their TABs
      char* p = b.data() + old;
      char* const limit = b.data() + b.size();
      for (const int32_t number : {tree.Depth(id), static_cast<int32_t>(tree.Icon(id)), tree.MessageIndex(id)}) {
        p = std::to_chars(p, limit, number).ptr;
        *p++ = '\t';
      }
      b.resize(static_cast<size_t>(p - b.data()));
      tree.AppendText(id, b);
      b.push_back('\n');
    }
  });
  return kExitOk;
}

const Registration registration({"tree", "tree [--sjis] LOG...",
                                 "as list, then print the message tree in display order: depth, icon "
                                 "number, message index and node text, TAB-separated",
                                 RunTree});

}  // namespace
}  // namespace tobrisk::cli
