// Opening captured logs: the program's central command. Checks that the logs
// may be opened, switches the work state to their net (read marks, board and
// member lists), removes the escape sequences into NOESC.LOG, parses, restores
// the read marks, sorts, builds the tree, fills the windows and keeps the list of
// recently opened logs.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

#include "core/reading/work_state.h"
#include "core/ports/ports.h"
#include "core/text/files.h"  // LogHeaderOf

namespace tobrisk {

// The window-facing steps of opening logs, implemented by the message window,
// the board/user window and the main frame (and by fakes in tests). Everything
// the windows show is read from the work state.
class OpenLogsView {
 public:
  virtual ~OpenLogsView() = default;

  // ---- message window ----
  // Empties the message grid to one empty data row. Called only while the
  // message list still holds the previous entries.
  virtual void ClearMessageGrid() = 0;
  // Empties the tree page: its selection first, then all nodes.
  virtual void ClearMessageTree() = 0;
  // The window title (Shift-JIS): "メッセージ" or "メッセージ [ a.log ]".
  virtual void SetMessageTitle(const std::string& sjis) = 0;
  virtual std::string MessageTitle() const = 0;
  // One row per entry of state.messages, in list order.
  virtual void FillMessageGrid() = 0;
  // Shows state.message_tree.
  virtual void FillMessageTree() = 0;
  // AllPanel and NowPanel.
  virtual void SetMessageCounters(int64_t all_count, int64_t now_row) = 0;
  virtual void ClearMessageText() = 0;
  // OpenPage: 0 the list page (first row shown when there are messages), 1 the
  // tree page with the "top" command, other values leave the page unchanged.
  virtual void ShowOpenPage(int open_page) = 0;

  // ---- board/user window ----
  // The index of the net selected in the board/user window, or -1.
  virtual int SelectedNet() const = 0;
  virtual void SelectNet(int net_index) = 0;
  virtual void EnableNetSelection(bool enabled) = 0;
  // Empties the board and user grids (each only while its list holds entries);
  // called before the lists are emptied.
  virtual void ClearBoardUserGrids() = 0;
  // Fills the board grid (with the mail row) and the user grid from the lists.
  virtual void FillBoardUserGrids() = 0;

  // ---- main frame ----
  // The eight navigation buttons of the message toolbar.
  virtual void EnableNavigation(bool enabled) = 0;
  // Rebuilds "過去に読んだLOG(&L)" from RecentLogMenuItems(state.settings).
  virtual void RebuildRecentLogMenu() = 0;
};

enum class OpenLogsResult {
  Refused,     // different nets, or another net while messages are pending: nothing changed
  NoNet,       // the log header names no net: the previous messages are gone
  NoMessages,  // opened, but the logs hold no message
  Opened,      // opened with messages
};

namespace open_detail {
class LogReading;
}

// Logs read before their open is asked for: the program starts reading the logs
// it was started with while it builds its window. The messages are parsed and
// sorted, and once the open has given their read marks, marked; the
// escape-free text is only measured. An open
// of the same logs into the same folder takes it all (OpenLogs) and puts a file
// for the text in place of NOESC.LOG, which EscapeFreeWriting then fills;
// otherwise the reading is stopped and leaves nothing behind. The logs are
// recognised by their identity, size and modification time: a log changed since
// is read again.
class LogsReadAhead {
 public:
  // `work_dir` is the work folder the logs will be opened in.
  LogsReadAhead(const std::vector<std::string>& files, const std::string& work_dir);
  ~LogsReadAhead();
  LogsReadAhead(const LogsReadAhead&) = delete;
  LogsReadAhead& operator=(const LogsReadAhead&) = delete;

  // Whether `files` are the logs being read, unchanged, and `escape_free_path`
  // lies in the folder read for (and nothing was taken yet).
  bool IsFor(const std::vector<std::string>& files, const std::string& escape_free_path) const;
  // Gives the reading the open's read marks (`marks`), which it applies once the
  // messages are sorted (the reading waits for them there); waits for the
  // reading (with the progress ReadLogsWritingEscapeFree shows), puts a file
  // with room for the escape-free text at `escape_free_path`, starts writing
  // the text into it (`writing`) and hands out the messages, marked and
  // sorted. Once. Throws IoError as the reading would.
  MessageList Take(const std::string& escape_free_path, const std::vector<ReadMarkRecord>& marks, Progress& progress,
                   std::unique_ptr<EscapeFreeWriting>& writing);
  // Whether Take ran. Then nothing is kept but the removal of the file the
  // escape-free text replaced, which the destructor waits for.
  bool Taken() const { return taken_; }
  // Stops the reading and removes its file, as the destructor does: an open of
  // other logs calls it before it reads them. IsFor is false afterwards.
  void Drop();

 private:
  struct Logs;
  std::unique_ptr<Logs> logs_;
  std::string temporary_;  // the escape-free text, until taken
  std::unique_ptr<open_detail::LogReading> reading_;
  bool taken_ = false;
  std::jthread remover_;
};

// Runs the whole pipeline on `files` (full paths, at least one, in the order
// given). Warnings go through ports.prompter; progress through ports.progress;
// settings are saved through ports.store. An IoError stops the pipeline at its
// step (the steps before keep their effects), hides the progress display and is
// rethrown for the caller to report. A read ahead of these logs (`ahead`) is
// taken in place of reading them; one of other logs is dropped (Drop) first.
OpenLogsResult OpenLogs(WorkState& state, const Ports& ports, OpenLogsView& view, const std::vector<std::string>& files,
                        LogsReadAhead* ahead = nullptr);

// ---- the pieces, for the command-line tool and the other commands ----

// The header a message window title refers to: its bytes 14 to 17 upper-cased
// (empty for "メッセージ").
std::string ReferenceHeader(std::string_view message_title);

// "メッセージ [ " + every file name (in Shift-JIS) and a blank + "]"; and the title without a log.
std::string MessageTitleFor(const std::vector<std::string>& files);
const std::string& NoLogMessageTitle();  // "メッセージ"

// Warns "全て同じネットのログファイルを選択して下さい。" and returns false when the
// files do not all share the first file's log header.
bool CheckSameNet(const std::vector<std::string>& files, Prompter& prompter);

// Whether a capture with `log_header` belongs to the net that pending messages
// are written for: with a log shown (`shown_header`, its reference header) the
// same header; with none shown, a header of the net DefaultNet names, whose
// upload file and handle the pending messages go out with.
bool BelongsToWritingNet(const WorkState& state, std::string_view log_header, std::string_view shown_header);

// Warns that logs of another net cannot be opened while messages are pending
// and returns false, when PendingCount is not 0 and `log_header` does not
// belong to the writing net (BelongsToWritingNet, with the reference header of
// the open log).
bool CheckWritingNet(const WorkState& state, std::string_view log_header, std::string_view message_title,
                     Prompter& prompter);

// The net of state.current_log_header, or -1 after warning
// "ログファイルヘッダ [...] はネット設定がされていません。" ...
int LookUpNet(const WorkState& state, Prompter& prompter);

// Warns "読み込んだログにメッセージは有りませんでした。".
void WarnNoMessages(Prompter& prompter);

// Reads NOESC.LOG of the work folder into the emptied message list, applies the
// stored read marks and sorts: the steps between the net lookup and the fills.
void ReadMessages(WorkState& state, Progress& progress);

// Reads the logs in one pass: escape removal writes `escape_free_path` (the
// bytes CutEscapes writes) on the reading thread while the lines are parsed
// into the returned list (the entries ParseLog reads back from that file). The
// file is created when the first text is ready, so a missing single log leaves
// the old file untouched. Progress: "エスケープシーケンスカット中...", then
// "ログファイル読み込み中..." once the parsing is under way, the bar following the
// text written. Throws IoError.
MessageList ReadLogsWritingEscapeFree(const std::vector<std::string>& files, const std::string& escape_free_path,
                                      Progress& progress);

// Recent-log list: when Path0 differs from `path`, every slot moves down one
// (Path9 dropped) and `path` becomes Path0; returns whether anything changed.
bool PushRecentLog(AppSettings& settings, const std::string& path);
// Recent-log list: slot `slot` taken out, the later slots move up one and the
// last becomes free; false when the slot was already free.
bool RemoveRecentLog(AppSettings& settings, size_t slot);

// The items of the recent-log menu: "&" + n + " : " + Path n for every
// non-empty slot, or the single disabled item "(なし)" (slot -1).
struct RecentLogItem {
  std::string caption;  // path bytes as stored; the rest is ASCII or Shift-JIS
  int slot = -1;
  bool enabled = true;
};
std::vector<RecentLogItem> RecentLogMenuItems(const AppSettings& settings);

}  // namespace tobrisk
