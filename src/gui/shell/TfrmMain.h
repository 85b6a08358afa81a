// The main frame: menus, the two toolbars, the status panel with the progress
// display, and the multiple-document area holding the board/user window and the
// message window. It runs the open-log commands, taking the window-facing steps
// of the open pipeline by handing them to the two document windows.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/reading/open_logs.h"
#include "core/reading/work_state.h"
#include "core/ports/ports.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;

namespace tobrisk::gui {

class GuiProgress;
class NormalGeometryKeeper;
class TfrmAbout;
class TfrmBoardUserList;
class TfrmLogMessage;
class TfrmNewSet;
class TfrmSelectMoveBoard;

// Commands whose work lives outside the frame (writing, up-text). A command
// without a hook is disabled.
struct MainFrameHooks {
  std::function<void()> new_mail;          // "新規メール書き込み(&N)"
  std::function<void()> res_mail;          // "レスメール書き込み(&M)"
  std::function<void()> new_message;       // "新規メッセージ書き込み(&S)"
  std::function<void()> res_message;       // "レスメッセージ書き込み(&R)"
  std::function<void()> move_res_message;  // "移動レスメッセージ書き込み(&M)"
  std::function<void()> edit_message;      // "メッセージの編集(&E)"
  std::function<void()> delete_message;    // "メッセージの削除(&D)"
  std::function<void()> revive_message;    // "メッセージの復活(&R)"
  std::function<void()> up_text;           // the "アップテキスト出力" button
  // The close check's second half: runs the up-text output while messages are
  // pending; false when it did not complete and the program must go on.
  std::function<bool()> output_pending_at_close;
};

class TfrmMain : public QMainWindow, public OpenLogsView {
  Q_OBJECT

 public:
  // `ports` must outlive the window; the frame's own progress display replaces
  // ports.progress. Creation runs the start-up steps and creates the document
  // windows in the program's order (its dialogs are made when first wanted).
  explicit TfrmMain(Ports ports, QWidget* parent = nullptr);
  ~TfrmMain() override;

  WorkState& State() { return state_; }
  const Ports& PortsInUse() const { return ports_; }
  QMdiArea* MdiArea() const { return mdi_; }
  TfrmBoardUserList* BoardUserList() const { return board_user_list_; }
  TfrmLogMessage* LogMessage() const { return log_message_; }
  // The dialogs, made when first wanted (the program starts without them).
  TfrmNewSet* Properties();
  TfrmSelectMoveBoard* SelectMoveBoard();
  TfrmAbout* About();
  QMdiSubWindow* BoardUserListWindow() const { return board_user_sub_; }
  QMdiSubWindow* LogMessageWindow() const { return log_message_sub_; }

  void SetHooks(MainFrameHooks hooks);

  // True once the document windows took their stored placement (shortly after
  // the frame was first shown).
  bool DocumentPlacementsRestored() const { return documents_restored_; }

  // Opens logs as the open-log dialog does (command line, drops): refused when
  // no net is defined, otherwise the open pipeline on the files in this order.
  void OpenLogFiles(const QStringList& paths);
  // The same for paths as the file system names them, which need not be
  // valid in its encoding (the program's arguments).
  void OpenLogPaths(const std::vector<std::string>& paths);
  // Logs being read ahead of their open (the logs the program was started
  // with): the next open takes them when it opens the same logs, and lets
  // them go otherwise.
  void SetReadAhead(std::unique_ptr<LogsReadAhead> ahead) { read_ahead_ = std::move(ahead); }

  // The open-log dialog's starting folder and its filters (Qt form).
  const QString& OpenDialogFolder() const { return open_folder_; }
  const QStringList& OpenDialogFilters() const { return open_filters_; }

  // Enables the up-text button while messages are pending, and the net selector
  // of the board/user window while it is free (NetSelectionFree); call after the
  // write list or the shown log changed.
  void UpdateCommandStates();
  // Runs one command of the frame or its windows: a failure it throws (a file
  // that cannot be read or written) stops it and is shown by the general error
  // report; the command states follow afterwards. An empty command does nothing.
  void RunCommand(const std::function<void()>& command);
  // True while no log is shown, nothing is pending and no composition is in the
  // editor: only then may the board/user window change its net.
  bool NetSelectionFree() const;

  // At start: messages left in the write list's journal by a run that ended
  // without the up-text output are offered back; restored, they are pending
  // again for their own net. Declined, the journal is dropped (the composition
  // files stay in tmp).
  void OfferPreviousWrites();
  // Saves the read marks and the write list's journal without a box (failures
  // go to stderr). Used when the session ends; false when something failed.
  bool SaveSessionQuietly();
  // A signal or the end of the desktop session: saves both and ends the
  // program without the close check's questions (pending messages stay in the
  // journal for the next start).
  void EndSession();
  // The desktop session is ending: closing now asks nothing.
  void SetSessionEnding() { session_ending_ = true; }

  // ---- OpenLogsView ----
  void ClearMessageGrid() override;
  void ClearMessageTree() override;
  void SetMessageTitle(const std::string& sjis) override;
  std::string MessageTitle() const override;
  void FillMessageGrid() override;
  void FillMessageTree() override;
  void SetMessageCounters(int64_t all_count, int64_t now_row) override;
  void ClearMessageText() override;
  void ShowOpenPage(int open_page) override;
  int SelectedNet() const override;
  void SelectNet(int net_index) override;
  void EnableNetSelection(bool enabled) override;
  void ClearBoardUserGrids() override;
  void FillBoardUserGrids() override;
  void EnableNavigation(bool enabled) override;
  void RebuildRecentLogMenu() override;

 public slots:
  // "ﾌｧｲﾙ(&F)"
  void FileOpenItemClick();
  void RecentLogItemClick(int slot);
  void PropertyItemClick();
  void ImportItemClick();
  void ExportItemClick();  // "エクスポート..."
  void ExitItemClick();
  // "ﾒｯｾｰｼﾞ(&M)" opening: the eight items from the focused grid.
  void MessageMenuPopup();
  // "ﾂｰﾙﾊﾞｰ(&T)" opening: check marks from the toolbars' visibility.
  void MenuChangeCheckClick();
  void FileToolBarItemClick();
  void MessageToolBarItemClick();
  // "ｳｨﾝﾄﾞｳ(&W)"
  void CascadeItemClick();
  void TileItemClick();
  void ArrangeIconsItemClick();
  void MinimizeAllItemClick();
  void DefaultPositionItemClick();
  void DefaultSizeItemClick();
  // "ﾍﾙﾌﾟ(&H)"
  void AboutItemClick();
  // The "アップテキスト出力" button.
  void UpTextButtonClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBars();
  void BuildStatusPanel();
  void CreateDocumentWindows();
  void BuildWindowList();
  // The open pipeline on `files`; `recent_slot` is the recent-log slot they
  // came from (-1 for none).
  void RunOpenLogs(const std::vector<std::string>& files, int recent_slot = -1);
  // After an open that stopped (no net, a file error): the window shows what
  // the work state really holds, the previous logs or nothing.
  void ShowWhatIsLoaded();
  // A long list's tree is made whole once its rest is built, or before the
  // user's next key, click or close, whichever comes first.
  void WatchMessageTreeRest();
  void CompleteMessageTree();
  // Tells that a log is gone; a recent-log entry is then removed from the list.
  void ReportMissingLog(const std::string& path, int recent_slot);
  // The close check: read marks saved, then pending messages output.
  bool CloseCheck();
  // Mark changes are saved shortly after they happen, not only at close.
  void ReadMarksChanged();
  void SaveReadMarksNow();

  void SavePlacements();
  void RestoreDocumentPlacements();

  Ports ports_;
  WorkState state_;
  MainFrameHooks hooks_;
  std::unique_ptr<GuiProgress> progress_;
  bool opening_ = false;  // the open pipeline is running
  // How far the running open got: the previous messages emptied, the new ones shown.
  enum class OpenStage { Untouched, Cleared, Filled };
  OpenStage open_stage_ = OpenStage::Untouched;
  std::vector<std::string> opening_files_;  // the native paths being opened
  std::unique_ptr<LogsReadAhead> read_ahead_;
  std::unique_ptr<LogsReadAhead> taken_read_ahead_;
  std::vector<std::string> open_logs_;  // the logs last opened, for exports
  bool closing_ = false;                // the frame is going away: document windows may close
  bool placements_saved_ = false;
  bool session_ending_ = false;    // closing asks nothing: the session or a signal ends the program
  bool mark_save_failed_ = false;  // the last background save of the marks failed (reported once)
  QTimer* mark_save_timer_ = nullptr;
  QTimer* tree_rest_timer_ = nullptr;       // looks whether the tree's rest is built
  bool documents_restore_pending_ = false;  // the first showing asked for it
  bool documents_restored_ = false;         // the document windows took their stored placement
  QString open_folder_;
  QStringList open_filters_;

  QMdiArea* mdi_ = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* ProgressLabel = nullptr;
  QToolBar* FileToolBar = nullptr;
  QToolBar* MessageToolBar = nullptr;

  QMenu* FileMenu = nullptr;
  QMenu* RecentLogMenu = nullptr;
  QMenu* MessageMenu = nullptr;
  QMenu* ToolBarMenu = nullptr;
  QMenu* WindowMenu = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* PropertyItem = nullptr;
  QAction* ImportItem = nullptr;
  QAction* ExportItem = nullptr;
  QAction* ExitItem = nullptr;
  QAction* NewMailItem = nullptr;
  QAction* ResMailItem = nullptr;
  QAction* NewMessageItem = nullptr;
  QAction* ResMessageItem = nullptr;
  QAction* MoveResMessageItem = nullptr;
  QAction* EditMessageItem = nullptr;
  QAction* DeleteMessageItem = nullptr;
  QAction* ReviveMessageItem = nullptr;
  QAction* FileToolBarItem = nullptr;
  QAction* MessageToolBarItem = nullptr;
  QAction* CascadeItem = nullptr;
  QAction* TileItem = nullptr;
  QAction* ArrangeIconsItem = nullptr;
  QAction* MinimizeAllItem = nullptr;
  QAction* DefaultPositionItem = nullptr;
  QAction* DefaultSizeItem = nullptr;
  QAction* WindowListSeparator = nullptr;
  QAction* AboutItem = nullptr;

  QAction* FileOpenButton = nullptr;
  QAction* PropertyButton = nullptr;
  QAction* UpTextButton = nullptr;
  std::array<QAction*, 8> message_buttons_{};  // MessageTopButton .. FindAlreadyCheckButton
  QList<QAction*> window_list_items_;          // the document windows in "ｳｨﾝﾄﾞｳ(&W)"

  TfrmBoardUserList* board_user_list_ = nullptr;
  TfrmLogMessage* log_message_ = nullptr;
  TfrmNewSet* properties_ = nullptr;
  TfrmSelectMoveBoard* select_move_board_ = nullptr;
  TfrmAbout* about_ = nullptr;
  QMdiSubWindow* board_user_sub_ = nullptr;
  QMdiSubWindow* log_message_sub_ = nullptr;
  NormalGeometryKeeper* board_user_normal_ = nullptr;
  NormalGeometryKeeper* log_message_normal_ = nullptr;
};

}  // namespace tobrisk::gui
