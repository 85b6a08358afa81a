#include "core/reading/open_logs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "core/boards/board_files.h"
#include "core/reading/escape_filter.h"
#include "core/reading/escape_free_writing.h"
#include "core/reading/log_parser.h"
#include "core/reading/message_sort.h"
#include "core/reading/read_marks.h"
#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// Two texts joined as two lines of a message box (LF followed by CR).
std::string TwoLines(std::string_view first, std::string_view second) {
  return std::string(first) + "\n\r" + std::string(second);
}

void HideProgress(Progress& progress) {
  progress.Hide();
  progress.SetLabel({});
}

}  // namespace

const std::string& NoLogMessageTitle() {
  static const std::string title = Sjis("メッセージ");
  return title;
}

std::string ReferenceHeader(std::string_view message_title) { return UpperAscii(FieldAt(message_title, 14, 4)); }

std::string MessageTitleFor(const std::vector<std::string>& files) {
  static const std::string open = Sjis("メッセージ [ ");
  std::string title = open;
  for (const std::string& f : files) title.append(FileNameInSjis(f)).append(" ");
  title.append("]");
  return title;
}

bool CheckSameNet(const std::vector<std::string>& files, Prompter& prompter) {
  static const std::string warning = Sjis("全て同じネットのログファイルを選択して下さい。");
  if (files.size() < 2) return true;
  const std::string first = LogHeaderOf(files[0]);
  for (const std::string& f : files) {
    if (LogHeaderOf(f) != first) {
      prompter.Error(warning);
      return false;
    }
  }
  return true;
}

bool BelongsToWritingNet(const WorkState& state, std::string_view log_header, std::string_view shown_header) {
  if (!shown_header.empty()) return log_header == shown_header;
  const int net = FindNetByLogHeader(state.nets, log_header);
  return net >= 0 && net == state.settings.default_net;
}

bool CheckWritingNet(const WorkState& state, std::string_view log_header, std::string_view message_title,
                     Prompter& prompter) {
  static const std::string warning = TwoLines(Sjis("現在書き込み中のネット以外のログファイルは読み込み出来ません。"),
                                              Sjis("アップファイルを出力後、読み込みを行って下さい。"));
  if (state.pending_count == 0 || BelongsToWritingNet(state, log_header, ReferenceHeader(message_title))) return true;
  prompter.Error(warning);
  return false;
}

int LookUpNet(const WorkState& state, Prompter& prompter) {
  static const std::string before = Sjis("ログファイルヘッダ [");
  static const std::string after = Sjis("] はネット設定がされていません。");
  static const std::string hint = Sjis("ログファイルヘッダは必ず４文字で設定して下さい。");
  const int net = FindNetByLogHeader(state.nets, state.current_log_header);
  if (net < 0) prompter.Error(TwoLines(before + state.current_log_header + after, hint));
  return net;
}

void WarnNoMessages(Prompter& prompter) {
  static const std::string warning = Sjis("読み込んだログにメッセージは有りませんでした。");
  prompter.Error(warning);
}

namespace {

// The read marks applied, then the sort: the steps after the parsing.
void MarkAndSort(WorkState& state, Progress& progress) {
  ApplyReadMarks(state.messages, state.read_marks);
  SortMessages(state.messages, progress);
}

}  // namespace

void ReadMessages(WorkState& state, Progress& progress) {
  ParseLog(state, progress);
  MarkAndSort(state, progress);
}

namespace open_detail {

// Reads logs on a worker thread: escape removal into a file (created once the
// first text is ready; none when no path is given, for a read ahead, whose text
// is written after it is taken), the parse, and when asked the sort and the
// read marks. The worker touches only its own members and the file; it is stopped and
// joined before they go, whatever happens.
class LogReading {
 public:
  LogReading(std::vector<std::string> files, std::string escape_free_path, bool arrange)
      : files_(std::move(files)), path_(std::move(escape_free_path)), total_(TotalSizeOf(files_)) {
    worker_ = std::jthread([this, arrange] { Run(arrange); });
  }
  ~LogReading() {
    {
      std::lock_guard lock(mutex_);  // a worker waiting for marks sees it
      stop_.store(true, std::memory_order_relaxed);
    }
    marks_given_signal_.notify_all();
    worker_.join();
  }
  LogReading(const LogReading&) = delete;
  LogReading& operator=(const LogReading&) = delete;

  // Waits for the worker, keeping `progress` moving: "エスケープシーケンスカット中...",
  // then "ログファイル読み込み中..." once text is written, the bar following it.
  // Rethrows what stopped the reading.
  void Wait(Progress& progress) {
    static const std::string cutting = Sjis("エスケープシーケンスカット中...");
    static const std::string reading = Sjis("ログファイル読み込み中...");
    progress.SetLabel(cutting);
    PercentTracker percent(total_);
    bool reading_shown = false;
    {
      std::unique_lock lock(mutex_);
      while (!finished_.wait_for(lock, std::chrono::milliseconds(15), [&] { return done_; })) {
        lock.unlock();
        const uint64_t written = written_.load(std::memory_order_relaxed);
        if (!reading_shown && written > 0) {
          progress.SetLabel(reading);
          reading_shown = true;
        }
        progress.Step(percent.Update(std::min(written, total_)));
        lock.lock();
      }
    }
    if (failure_) std::rethrow_exception(failure_);
    if (!reading_shown) progress.SetLabel(reading);
    progress.Step(100);
  }

  // The read marks of the open that takes the messages: a worker that sorts
  // applies them once the messages are sorted.
  void GiveMarks(const std::vector<ReadMarkRecord>& marks) {
    {
      std::lock_guard lock(mutex_);
      marks_ = marks;
      marks_given_ = true;
    }
    marks_given_signal_.notify_all();
  }

  // After Wait.
  MessageList& Messages() { return messages_; }
  uint64_t TextSize() const { return written_.load(std::memory_order_relaxed); }

 private:
  struct Stopped {};

  void Run(bool arrange) {
    try {
      EscapeFreeSink sink = [this](std::string_view block) {
        if (stop_.load(std::memory_order_relaxed)) throw Stopped{};
        if (!path_.empty()) {
          if (!file_) file_ = std::make_unique<OutputFile>(path_, OutputFile::Mode::Overwrite);
          file_->Write(block);
        }
        written_.fetch_add(block.size(), std::memory_order_relaxed);
      };
      ParseLogWhileCuttingEscapes(files_, std::move(sink), messages_);
      if (!path_.empty()) {
        if (!file_) file_ = std::make_unique<OutputFile>(path_, OutputFile::Mode::Overwrite);  // logs without a line
        file_->Close();
      }
      if (arrange) {
        NullProgress quiet;
        SortMessages(messages_, quiet);
        ApplyReadMarks(messages_, AwaitMarks());
#if defined(__GLIBC__)
        malloc_trim(0);  // the parse's and the sort's scratch, before the window takes its share
#endif
      }
    } catch (...) {
      failure_ = std::current_exception();
    }
    file_.reset();
    std::lock_guard lock(mutex_);
    done_ = true;
    finished_.notify_all();
  }

  // The open's marks, once it has given them (it gives them before it waits
  // for the reading).
  std::vector<ReadMarkRecord> AwaitMarks() {
    std::unique_lock lock(mutex_);
    marks_given_signal_.wait(lock, [this] { return marks_given_ || stop_.load(std::memory_order_relaxed); });
    if (!marks_given_) throw Stopped{};
    return std::move(marks_);
  }

  const std::vector<std::string> files_;
  const std::string path_;
  const uint64_t total_;
  std::unique_ptr<OutputFile> file_;
  std::atomic<uint64_t> written_{0};
  std::atomic<bool> stop_{false};
  MessageList messages_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  std::condition_variable marks_given_signal_;
  bool marks_given_ = false;
  std::vector<ReadMarkRecord> marks_;
  std::exception_ptr failure_;
  std::jthread worker_;  // last: started once everything it uses is made
};

}  // namespace open_detail

MessageList ReadLogsWritingEscapeFree(const std::vector<std::string>& files, const std::string& escape_free_path,
                                      Progress& progress) {
  open_detail::LogReading reading(files, escape_free_path, false);
  reading.Wait(progress);
  return std::move(reading.Messages());
}

namespace {

// The folder's identity, without size and time (the folder changes as files come and go).
bool FolderIdentityOf(const std::string& path, FileIdentity& identity) {
  if (!IdentityOf(path, identity)) return false;
  identity.size = 0;
  identity.modified_ns = 0;
  return true;
}

void KeepLargeBlocksApart() {
#if defined(__GLIBC__)
  // Blocks of a megabyte and more (the entries, the tree) are mapped on their
  // own and given back when freed, whichever thread made them. Left to itself,
  // glibc raises that bound once such a block is freed, and the next open's
  // blocks stay in the heaps of the threads that built them.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

// Takes room for `size` bytes in the empty file `fd`, without writing them
// where the file system allows; false with errno set when there is no room.
bool TakeRoom(int fd, uint64_t size) {
#ifdef __linux__
  if (::fallocate(fd, 0, 0, static_cast<off_t>(size)) == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
#endif
  return ::ftruncate(fd, static_cast<off_t>(size)) == 0;  // the room is then taken as the text is written
}

}  // namespace

struct LogsReadAhead::Logs {
  std::vector<std::string> paths;
  std::vector<FileIdentity> files;
  FileIdentity folder;
};

LogsReadAhead::LogsReadAhead(const std::vector<std::string>& files, const std::string& work_dir)
    : logs_(std::make_unique<Logs>()) {
  for (const std::string& file : files) {
    FileIdentity identity;
    if (!IdentityOf(file, identity)) return;  // the open reports it
    logs_->files.push_back(identity);
  }
  if (files.empty() || !FolderIdentityOf(TrailingSeparator(work_dir), logs_->folder)) return;
  logs_->paths = files;
  temporary_ = TemporarySiblingPath(TrailingSeparator(work_dir) + "NOESC.LOG");
  KeepLargeBlocksApart();
  reading_ = std::make_unique<open_detail::LogReading>(files, std::string(), true);
}

LogsReadAhead::~LogsReadAhead() { Drop(); }

void LogsReadAhead::Drop() {
  reading_.reset();
  if (!temporary_.empty()) DiscardTemporary(temporary_);
  temporary_.clear();
}

bool LogsReadAhead::IsFor(const std::vector<std::string>& files, const std::string& escape_free_path) const {
  if (!reading_ || files.size() != logs_->files.size()) return false;
  for (size_t i = 0; i < files.size(); ++i) {
    FileIdentity identity;
    if (!IdentityOf(files[i], identity) || !(identity == logs_->files[i])) return false;
  }
  FileIdentity folder;
  if (!FolderIdentityOf(FolderOf(escape_free_path), folder) || !(folder == logs_->folder)) return false;
  // Only a plain file is replaced by renaming: a link is written through and a
  // folder in its place is a file error, as when the open reads the logs itself.
  struct stat st {};
  return ::lstat(escape_free_path.c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_nlink == 1);
}

MessageList LogsReadAhead::Take(const std::string& escape_free_path, const std::vector<ReadMarkRecord>& marks,
                                Progress& progress, std::unique_ptr<EscapeFreeWriting>& writing) {
  taken_ = true;
  const std::unique_ptr<open_detail::LogReading> reading = std::move(reading_);
  reading->GiveMarks(marks);
  reading->Wait(progress);
  // The text's file, with room for all of it taken now: a full disk shows here,
  // before the messages are handed out, and leaves nothing behind.
  const uint64_t size = reading->TextSize();
  const int fd = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw NamingShown(IoError::FromErrno("create", temporary_), temporary_, escape_free_path);
  auto fail = [&](const IoError& error) {
    ::close(fd);
    DiscardTemporary(temporary_);
    temporary_.clear();
    throw error;
  };
  if (size > 0 && !TakeRoom(fd, size)) fail(IoError::FromErrno("write", escape_free_path));
  // Renaming over the old file would free its blocks then and there, which
  // takes as long as a good part of the reading: it is moved aside and removed
  // on a thread of its own.
  const std::string old = TemporarySiblingPath(escape_free_path);
  const bool moved_aside = ::rename(escape_free_path.c_str(), old.c_str()) == 0;
  if (::rename(temporary_.c_str(), escape_free_path.c_str()) != 0) {
    const IoError error = IoError::FromErrno("write", escape_free_path);
    if (moved_aside) ::rename(old.c_str(), escape_free_path.c_str());
    fail(error);
  }
  temporary_.clear();
  if (moved_aside) remover_ = std::jthread([old] { DiscardTemporary(old); });
  writing = std::make_unique<EscapeFreeWriting>(logs_->paths, logs_->files, fd, size, escape_free_path);
  return std::move(reading->Messages());
}

bool PushRecentLog(AppSettings& settings, const std::string& path) {
  auto& paths = settings.paths;
  if (paths[0] == path) return false;
  for (size_t i = paths.size() - 1; i > 0; --i) paths[i] = std::move(paths[i - 1]);
  paths[0] = path;
  return true;
}

bool RemoveRecentLog(AppSettings& settings, size_t slot) {
  auto& paths = settings.paths;
  if (slot >= paths.size() || paths[slot].empty()) return false;
  for (size_t i = slot; i + 1 < paths.size(); ++i) paths[i] = std::move(paths[i + 1]);
  paths.back().clear();
  return true;
}

std::vector<RecentLogItem> RecentLogMenuItems(const AppSettings& settings) {
  std::vector<RecentLogItem> items;
  for (size_t n = 0; n < settings.paths.size(); ++n) {
    if (settings.paths[n].empty()) continue;
    items.push_back(
        {"&" + DecimalText(static_cast<int64_t>(n)) + " : " + settings.paths[n], static_cast<int>(n), true});
  }
  if (items.empty()) {
    static const std::string none = Sjis("(なし)");
    items.push_back({none, -1, false});
  }
  return items;
}

OpenLogsResult OpenLogs(WorkState& state, const Ports& ports, OpenLogsView& view, const std::vector<std::string>& files,
                        LogsReadAhead* ahead) {
  Prompter& prompter = *ports.prompter;
  Progress& progress = *ports.progress;
  if (files.empty()) return OpenLogsResult::Refused;

  if (!CheckSameNet(files, prompter)) return OpenLogsResult::Refused;
  state.current_log_header = LogHeaderOf(files[0]);
  if (!CheckWritingNet(state, state.current_log_header, view.MessageTitle(), prompter)) {
    return OpenLogsResult::Refused;
  }

  // The marks of the net that was open go back to its own file (never to the
  // file of whatever net the board/user window shows now); then the new net's.
  SaveReadMarks(state);
  LoadReadMarks(state, state.current_log_header, prompter);

  if (!state.messages.Empty()) view.ClearMessageGrid();
  state.message_tree_rest.reset();  // it reads the messages
  state.messages.Clear();
  // The text of the messages shown until now is no longer wanted: this open writes NOESC.LOG anew.
  if (state.escape_free_writing) state.escape_free_writing->Stop();
  state.escape_free_writing.reset();
  view.ClearMessageTree();
  state.message_tree.Clear();

  KeepLargeBlocksApart();
  progress.Show();
  try {
    const std::string escape_free_path = state.WorkFile("NOESC.LOG");
    // A program killed while it read ahead leaves its escape-free text: as big as the logs.
    DiscardAbandonedTemporaries(escape_free_path);
    const bool read_ahead = ahead != nullptr && ahead->IsFor(files, escape_free_path);
    // One for other logs would go on reading (and writing a text as big as
    // its logs) beside this open until the caller lets it go: it stops now.
    if (ahead != nullptr && !read_ahead) ahead->Drop();
    MessageList read = read_ahead ? ahead->Take(escape_free_path, state.read_marks, progress, state.escape_free_writing)
                                  : ReadLogsWritingEscapeFree(files, escape_free_path, progress);
    view.SetMessageTitle(MessageTitleFor(files));

    const int net = LookUpNet(state, prompter);
    if (net < 0) {
      view.SetMessageTitle(NoLogMessageTitle());
      HideProgress(progress);
      return OpenLogsResult::NoNet;
    }
    view.SelectNet(net);
    view.EnableNetSelection(false);
    state.settings.default_net = net;

    view.ClearBoardUserGrids();
    state.boards.clear();
    state.users.clear();
    if (FileExists(BoardFilePath(state.work_dir, state.current_log_header))) {
      ReadBoardFile(state.boards, state.work_dir, state.current_log_header, prompter);
    }
    if (FileExists(UserFilePath(state.work_dir, state.current_log_header))) {
      ReadUserFile(state.users, state.work_dir, state.current_log_header, prompter);
    }

    state.messages = std::move(read);
    if (!read_ahead) MarkAndSort(state, progress);  // a read ahead marked and sorted them
    // A long list's tree is whole only after the window shows its first rows:
    // the caller completes it (WorkState::CompleteMessageTree).
    state.message_tree = BuildMessageTreeInSteps(state.messages, state.message_tree_rest, state.tree_options);
    view.FillMessageGrid();
    view.FillMessageTree();
    view.SetMessageCounters(static_cast<int64_t>(state.messages.Size()), 0);
    view.ClearMessageText();
    view.ShowOpenPage(state.settings.open_page);
    view.FillBoardUserGrids();
    SaveSettings(state.settings, *ports.store);

    const bool any = !state.messages.Empty();
    if (any) {
      view.EnableNavigation(true);
    } else {
      WarnNoMessages(prompter);
      view.EnableNetSelection(true);
      view.SetMessageTitle(NoLogMessageTitle());
      view.EnableNavigation(false);
      HideProgress(progress);
    }

    if (PushRecentLog(state.settings, files[0])) {
      SaveSettings(state.settings, *ports.store);
      view.RebuildRecentLogMenu();
    }
    HideProgress(progress);
    return any ? OpenLogsResult::Opened : OpenLogsResult::NoMessages;
  } catch (const IoError&) {
    HideProgress(progress);
    throw;
  }
}

}  // namespace tobrisk
