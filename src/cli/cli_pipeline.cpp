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
  // text stays in memory: the work folder's NOESC.LOG belongs to the program,
  // which may be showing messages at their offsets in it.
  if (texts == MessageTexts::Keep) state.escape_free_text.emplace();
  ParseLogWhileCuttingEscapes(logs, state.escape_free_text ? &*state.escape_free_text : nullptr, state.messages);
  if (LookUpNet(state, session.prompter) < 0) return false;
  ApplyReadMarks(state.messages, state.read_marks);
  SortMessages(state.messages, session.progress);
  if (state.messages.Empty()) WarnNoMessages(session.prompter);
  return true;
}

void TextOutput::Flush() {
  if (buffer_.empty()) return;
  std::string utf8;
  if (!sjis_) utf8 = SjisToUtf8(buffer_);
  const std::string& bytes = sjis_ ? buffer_ : utf8;
  const bool failed = std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0;
  buffer_.clear();
  if (failed) throw IoError::FromErrno("write", "standard output");
}

}  // namespace tobrisk::cli
