#include "cli/cli_pipeline.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

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

void WriteLinesInOrder(size_t count, bool sjis, const LineFormatter& format) {
  constexpr size_t kRun = 1024;  // items per run: about 100 KB of list lines
  const size_t runs = (count + kRun - 1) / kRun;
  std::atomic<size_t> next_run{0};
  std::mutex mutex;
  std::condition_variable turn;
  size_t runs_written = 0;  // under `mutex`
  int write_errno = 0;      // the first failed write's errno, under `mutex`
  auto work = [&] {
    std::string text;
    Utf8Buffer utf8;
    for (;;) {
      const size_t run = next_run.fetch_add(1);
      if (run >= runs) return;
      text.clear();
      format(run * kRun, std::min(count, (run + 1) * kRun), text);
      const std::string_view bytes = sjis ? std::string_view(text) : utf8.Of(text);
      std::unique_lock lock(mutex);
      turn.wait(lock, [&] { return runs_written == run; });
      if (write_errno == 0 && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
        write_errno = errno != 0 ? errno : EIO;
        next_run.store(runs);  // the command fails anyway: no more runs are taken
      }
      ++runs_written;
      turn.notify_all();
    }
  };
  {
    std::thread helper;
    if (runs > 1) helper = std::thread(work);
    work();
    if (helper.joinable()) helper.join();
  }
  if (write_errno == 0 && std::fflush(stdout) != 0) write_errno = errno != 0 ? errno : EIO;
  if (write_errno != 0) {
    errno = write_errno;
    throw IoError::FromErrno("write", "standard output");
  }
}

}  // namespace tobrisk::cli
