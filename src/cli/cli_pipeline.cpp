#include "cli/cli_pipeline.h"

#include <cerrno>

#include "core/reading/log_parser.h"
#include "core/reading/message_sort.h"
#include "core/reading/open_logs.h"
#include "core/reading/read_marks.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk::cli {

bool ReadLogsAsList(CliSession& session, const std::vector<std::string>& logs, MessageTexts texts) {
  std::vector<uint32_t> order;
  if (!ReadLogsInFileOrder(session, logs, texts, order)) return false;
  ArrangeMessages(session.state.messages, order);
  return true;
}

bool ReadLogsInFileOrder(CliSession& session, const std::vector<std::string>& logs, MessageTexts texts,
                         std::vector<uint32_t>& order) {
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
  order = SortedOrder(state.messages, session.progress);
  if (state.messages.Empty()) WarnNoMessages(session.prompter);
  return true;
}

TextOutput::TextOutput(bool sjis) : sjis_(sjis) { buffer_.reserve(kBlock + 4096); }

TextOutput::~TextOutput() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

bool TextOutput::Write(const std::string& block) {
  const std::string_view bytes = sjis_ ? std::string_view(block) : utf8_.Of(block);
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

void TextOutput::WriterLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return has_pending_ || stop_; });
    if (!has_pending_) return;
    lock.unlock();
    const bool ok = write_errno_ != 0 || Write(pending_);  // after a failure nothing more is written
    const int error = ok ? 0 : errno;
    lock.lock();
    if (!ok && write_errno_ == 0) write_errno_ = error;
    has_pending_ = false;
    changed_.notify_all();
  }
}

void TextOutput::HandOn() {
  if (!writer_.joinable()) writer_ = std::thread([this] { WriterLoop(); });
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !has_pending_; });
  if (write_errno_ != 0) {  // stop early: the command fails anyway
    lock.unlock();
    ThrowIfFailed();
  }
  pending_.swap(buffer_);
  has_pending_ = true;
  lock.unlock();
  changed_.notify_all();
  buffer_.clear();
  buffer_.reserve(kBlock + 4096);
}

void TextOutput::ThrowIfFailed() {
  if (write_errno_ == 0) return;
  errno = write_errno_;
  throw IoError::FromErrno("write", "standard output");
}

void TextOutput::Flush() {
  if (writer_.joinable()) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !has_pending_; });
  }
  ThrowIfFailed();
  bool ok = buffer_.empty() || Write(buffer_);
  buffer_.clear();
  if (ok && std::fflush(stdout) != 0) ok = false;
  if (!ok) write_errno_ = errno;
  ThrowIfFailed();
}

}  // namespace tobrisk::cli
