// tobrisk-cli show [--sjis] --seq N LOG...
#include <iostream>

#include "cli/cli_pipeline.h"
#include "cli/command.h"
#include "core/reading/message_text.h"
#include "core/text/bytes.h"

namespace tobrisk::cli {
namespace {

int RunShow(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"--sjis"}, {"--seq"});
  if (parsed.positional.empty()) throw UsageError{"expected at least one LOG"};
  const std::string* seq_text = parsed.Value("--seq");
  int32_t seq = 0;
  if (seq_text == nullptr || !ParseDecimal(*seq_text, seq)) throw UsageError{"--seq N needs a decimal number"};
  CliSession session;
  if (!ReadLogsAsList(session, parsed.positional, MessageTexts::Keep)) return kExitRefused;
  const MessageList& messages = session.state.messages;
  // SeqNo is the position + 1 after the sort.
  if (seq < 1 || static_cast<size_t>(seq) > messages.Size()) {
    std::cerr << "tobrisk-cli show: no message with SeqNo " << *seq_text << '\n';
    return kExitRefused;
  }
  const MessageText text = ReadMessageText(session.state, static_cast<size_t>(seq - 1));
  if (text.offset_past_end) {
    std::cerr << "tobrisk-cli show: the message lies beyond the end of the text\n";
    return kExitRefused;
  }
  const bool sjis = parsed.Has("--sjis");
  WriteLinesInOrder(1, sjis, [&](size_t, size_t, std::string& out) {
    if (sjis) {
      out = text.bytes;
      return;
    }
    // The view's CR LF line ends become plain newlines.
    out.reserve(text.bytes.size());
    for (size_t i = 0; i < text.bytes.size(); ++i) {
      if (text.bytes[i] == '\r' && i + 1 < text.bytes.size() && text.bytes[i + 1] == '\n') continue;
      out.push_back(text.bytes[i]);
    }
  });
  return kExitOk;
}

const Registration registration({"show", "show [--sjis] --seq N LOG...",
                                 "as list, then print the text of the message whose SeqNo is N (with --sjis "
                                 "exactly the bytes the text view gets)",
                                 RunShow});

}  // namespace
}  // namespace tobrisk::cli
