#include "core/reading/open_logs.h"

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

MessageList ReadLogsWritingEscapeFree(const std::vector<std::string>& files, const std::string& escape_free_path,
                                      Progress& progress) {
  static const std::string cutting = Sjis("エスケープシーケンスカット中...");
  static const std::string reading = Sjis("ログファイル読み込み中...");
  progress.SetLabel(cutting);

  const uint64_t total = TotalSizeOf(files);

  // The file is written on the reading thread; the bytes written so far are
  // what this thread shows.
  struct Output {
    std::unique_ptr<OutputFile> file;
    std::atomic<uint64_t> written{0};
  } output;
  const std::string& path = escape_free_path;
  EscapeFreeSink sink = [&output, &path](std::string_view block) {
    if (!output.file) output.file = std::make_unique<OutputFile>(path, OutputFile::Mode::Overwrite);
    output.file->Write(block);
    output.written.fetch_add(block.size(), std::memory_order_relaxed);
  };

  // The parsing runs on a worker so that this thread can keep the progress
  // display moving; the worker touches only its own list and the file, and is
  // joined before them whatever happens here.
  MessageList messages;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
  std::jthread worker([&] {
    try {
      ParseLogWhileCuttingEscapes(files, sink, messages);
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard lock(mutex);
    done = true;
    finished.notify_all();
  });
  PercentTracker percent(total);
  bool reading_shown = false;
  {
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(15), [&] { return done; })) {
      lock.unlock();
      const uint64_t written = output.written.load(std::memory_order_relaxed);
      if (!reading_shown && written > 0) {
        progress.SetLabel(reading);
        reading_shown = true;
      }
      progress.Step(percent.Update(std::min(written, total)));
      lock.lock();
    }
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
  if (!reading_shown) progress.SetLabel(reading);
  progress.Step(100);
  if (!output.file)
    output.file = std::make_unique<OutputFile>(path, OutputFile::Mode::Overwrite);  // logs without a line
  output.file->Close();
  return messages;
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

OpenLogsResult OpenLogs(WorkState& state, const Ports& ports, OpenLogsView& view,
                        const std::vector<std::string>& files) {
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
  state.messages.Clear();
  view.ClearMessageTree();
  state.message_tree.Clear();

#if defined(__GLIBC__)
  // Blocks of a megabyte and more (the entries, the tree) are mapped on their
  // own and given back when freed, whichever thread made them. Left to itself,
  // glibc raises that bound once such a block is freed, and the next open's
  // blocks stay in the heaps of the threads that built them.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  progress.Show();
  try {
    MessageList read = ReadLogsWritingEscapeFree(files, state.WorkFile("NOESC.LOG"), progress);
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
    MarkAndSort(state, progress);
    // The tree first: its build arrays are given back before the grid takes
    // its rows, which keeps the peak down.
    state.message_tree = BuildMessageTree(state.messages);
#if defined(__GLIBC__)
    // The build's scratch arrays, freed in the middle of the heap, go back to
    // the system instead of staying resident beside the views.
    malloc_trim(0);
#endif
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
