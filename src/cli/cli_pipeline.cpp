#include "cli/cli_pipeline.h"

#include "core/reading/log_parser.h"
#include "core/reading/message_sort.h"
#include "core/reading/open_logs.h"
#include "core/reading/read_marks.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk::cli {

bool ReadLogsAsList(CliSession& session, const std::vector<std::string>& logs, MessageTexts texts) {
  WorkState& state = session.state;
  try {
    StartUp(state, session.ports, CurrentDirectory());
  } catch (const IoError& e) {
    std::cerr << "tobrisk-cli: " << e.what() << '\n';  // no tmp folder: reading does not need it
  }
  if (!CheckSameNet(logs, session.prompter)) return false;
  state.current_log_header = LogHeaderOf(logs[0]);
  LoadReadMarks(state, state.current_log_header, session.prompter);
  // Escape removal and parsing in one pass: the same text and entries as the
  // program's separate steps, which exist there for their progress display. The
  // text goes to a nameless temporary file outside the work folder: the work
  // folder's NOESC.LOG belongs to the program, which may be showing messages at
  // their offsets in it, and a capture's text need not fit in memory.
  EscapeFreeSink sink;
  if (texts == MessageTexts::Keep) {
    state.escape_free_text = std::make_unique<ScratchFile>();
    sink = [file = state.escape_free_text.get()](std::string_view block) { file->Append(block); };
  }
  ParseLogWhileCuttingEscapes(logs, std::move(sink), state.messages);
  if (LookUpNet(state, session.prompter) < 0) return false;
  ApplyReadMarks(state.messages, state.read_marks);
  SortMessages(state.messages, session.progress);
  if (state.messages.Empty()) WarnNoMessages(session.prompter);
  return true;
}

}  // namespace tobrisk::cli
