// tobrisk-cli quote --seq N --kind res|move|mail LOG...
#include <iostream>

#include "cli/cli_pipeline.h"
#include "cli/command.h"
#include "text/bytes.h"
#include "writing/composition_file.h"

namespace tobrisk::cli {
namespace {

int RunQuote(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {}, {"--seq", "--kind"});
  if (parsed.positional.empty()) throw UsageError{"expected at least one LOG"};
  const std::string* seq_text = parsed.Value("--seq");
  int32_t seq = 0;
  if (seq_text == nullptr || !ParseDecimal(*seq_text, seq)) throw UsageError{"--seq N needs a decimal number"};
  const std::string* kind_text = parsed.Value("--kind");
  HeaderKind kind;
  if (kind_text != nullptr && *kind_text == "res") {
    kind = HeaderKind::Res;
  } else if (kind_text != nullptr && *kind_text == "move") {
    kind = HeaderKind::MovedRes;
  } else if (kind_text != nullptr && *kind_text == "mail") {
    kind = HeaderKind::None;
  } else {
    throw UsageError{"--kind must be res, move or mail"};
  }

  CliSession session;
  if (!ReadLogsAsList(session, parsed.positional, MessageTexts::Keep)) return kExitRefused;
  WorkState& state = session.state;
  if (seq < 1 || static_cast<size_t>(seq) > state.messages.Size()) {
    std::cerr << "tobrisk-cli quote: no message with SeqNo " << *seq_text << '\n';
    return kExitRefused;
  }
  const size_t index = static_cast<size_t>(seq) - 1;
  const std::string name = CompositionFileName(session.clock.Now());
  PrepareQuotedFile(state, name, state.messages[index].text_offset, index, kind);
  std::cout << state.tmp_dir << name << '\n';
  return kExitOk;
}

const Registration registration({"quote", "quote --seq N --kind res|move|mail LOG...",
                                 "as list, then prepare the composition file answering the message whose SeqNo "
                                 "is N in tmp under its clock name (MMDDhhmmss.TXT); prints its path",
                                 RunQuote});

}  // namespace
}  // namespace tobrisk::cli
