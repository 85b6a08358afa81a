// tobrisk-cli tree [--sjis] LOG...
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
  TextOutput out(parsed.Has("--sjis"));
  std::string& b = out.Buffer();
  // Node ids run in display order.
  for (TreeNodeId id = 0; id < static_cast<TreeNodeId>(tree.Size()); ++id) {
    b.append(DecimalText(tree.Depth(id))).push_back('\t');
    b.append(DecimalText(tree.Icon(id))).push_back('\t');
    b.append(DecimalText(tree.MessageIndex(id))).push_back('\t');
    b.append(tree.Text(id)).push_back('\n');
    out.LineDone();
  }
  out.Flush();
  return kExitOk;
}

const Registration registration({"tree", "tree [--sjis] LOG...",
                                 "as list, then print the message tree in display order: depth, icon "
                                 "number, message index and node text, TAB-separated",
                                 RunTree});

}  // namespace
}  // namespace tobrisk::cli
