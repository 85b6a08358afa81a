#include "gui/shell/TfrmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <iostream>

#include "gui/boards/TfrmBoardUserList.h"
#include "gui/boards/TfrmSelectMoveBoard.h"
#include "core/boards/board_files.h"
#include "core/boards/board_user_import.h"
#include "core/reading/read_marks.h"
#include "gui/reading/TfrmLogMessage.h"
#include "gui/settings/TfrmNewSet.h"
#include "core/settings/app_settings.h"
#include "core/settings/form_position.h"
#include "core/settings/net_definitions.h"
#include "gui/shell/TfrmAbout.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"
#include "gui/widgets/error_report.h"
#include "gui/export/TfrmExport.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/gui_progress.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/widgets/program_icon.h"
#include "gui/widgets/window_placement.h"
#include "core/writing/write_journal.h"
#include "core/writing/write_list.h"
#include "gui/writing/editor_busy.h"

namespace tobrisk::gui {
namespace {

QIcon ToolIcon(const QWidget* w, const char* theme, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(theme), w->style()->standardIcon(fallback));
}

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

struct MessageButton {
  const char* name;
  const char* hint;
  const char* theme_icon;
  QStyle::StandardPixmap fallback;
  void (TfrmLogMessage::*slot)();
};

const std::array<MessageButton, 8> kMessageButtons{{
    {"MessageTopButton", "メッセージの先頭", "go-top", QStyle::SP_MediaSkipBackward,
     &TfrmLogMessage::MessageTopButtonClick},
    {"MessageUpButton", "前のメッセージ", "go-up", QStyle::SP_ArrowUp, &TfrmLogMessage::MessageUpButtonClick},
    {"MessageDownButton", "次のメッセージ", "go-down", QStyle::SP_ArrowDown, &TfrmLogMessage::MessageDownButtonClick},
    {"MessageLastButton", "最後のメッセージ", "go-bottom", QStyle::SP_MediaSkipForward,
     &TfrmLogMessage::MessageLastButtonClick},
    {"FindNoReadButton", "未読の検索", "mail-unread", QStyle::SP_FileDialogContentsView,
     &TfrmLogMessage::FindNoReadButtonClick},
    {"FindAlreadyButton", "既読の検索", "mail-read", QStyle::SP_DialogApplyButton,
     &TfrmLogMessage::FindAlreadyButtonClick},
    {"FindAlreadyResButton", "レス済の検索", "mail-replied", QStyle::SP_DialogYesButton,
     &TfrmLogMessage::FindAlreadyResButtonClick},
    {"FindAlreadyCheckButton", "チェック済の検索", "emblem-important", QStyle::SP_MessageBoxWarning,
     &TfrmLogMessage::FindAlreadyCheckButtonClick},
}};

}  // namespace

TfrmMain::TfrmMain(Ports ports, QWidget* parent) : QMainWindow(parent), ports_(ports) {
  setObjectName("TfrmMain");
  setWindowTitle(Utf("DuzoDevova ＮORU's OffLine Tool [ Tobrisk for Windows95 ] Version.1.1"));
  setAcceptDrops(true);
  InstallProgramIcon();  // every window of the program shows it
  mdi_ = new QMdiArea(this);
  mdi_->setObjectName("MdiArea");
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);
  BuildStatusPanel();
  BuildMenus();
  BuildToolBars();
  resize(820, 600);

  // Start-up, in order: placement and toolbars, then the work state (settings,
  // folders, collections, nets), the open-log dialog and the recent-log menu.
  RestoreWindowPlacement(this, *ports_.store, MainFormPosition());
  RestoreToolbarPlacement(this, {FileToolBar, MessageToolBar}, *ports_.store);
  std::string current_dir = ".";
  try {
    current_dir = CurrentDirectory();
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);  // a folder removed under the program: work relative to it
  }
  try {
    StartUp(state_, ports_, current_dir);
  } catch (const std::exception& e) {
    // Without the tmp folder the program still reads logs; writing reports its
    // own failure when it needs the folder.
    ReportError(*ports_.prompter, e);
  }
  open_folder_ = QFile::decodeName(QByteArray::fromStdString(state_.settings.log_dir));
  open_filters_ = NameFiltersFromFilterText(OpenLogFilter(state_.nets));
  RebuildRecentLogMenu();

  CreateDocumentWindows();
  UpdateCommandStates();

  mark_save_timer_ = new QTimer(this);
  mark_save_timer_->setObjectName("MarkSaveTimer");
  mark_save_timer_->setSingleShot(true);
  mark_save_timer_->setInterval(1500);
  connect(mark_save_timer_, &QTimer::timeout, this, &TfrmMain::SaveReadMarksNow);
  connect(log_message_, &TfrmLogMessage::ReadMarksChanged, this, &TfrmMain::ReadMarksChanged);

  tree_rest_timer_ = new QTimer(this);
  tree_rest_timer_->setInterval(5);
  connect(tree_rest_timer_, &QTimer::timeout, this, [this] {
    if (!state_.message_tree_rest || state_.message_tree_rest->Ready()) CompleteMessageTree();
  });
}

TfrmMain::~TfrmMain() {
  SavePlacements();
  ShutDown(state_);
}

void TfrmMain::BuildStatusPanel() {
  ProgressLabel = new QLabel(this);
  ProgressLabel->setObjectName("ProgressLabel");
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setMaximumWidth(200);
  ProgressBar1->setVisible(false);
  statusBar()->setObjectName("StatusBar");
  statusBar()->addWidget(ProgressLabel, 1);
  statusBar()->addPermanentWidget(ProgressBar1);
  progress_ = std::make_unique<GuiProgress>(ProgressBar1, ProgressLabel);
  ports_.progress = progress_.get();
}

void TfrmMain::BuildMenus() {
  auto item = [this](QMenu* menu, const char* name, const char* caption, void (TfrmMain::*slot)()) {
    QAction* a = menu->addAction(Utf(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, slot);
    return a;
  };

  FileMenu = menuBar()->addMenu(Utf("ﾌｧｲﾙ(&F)"));
  FileMenu->setObjectName("FileMenu");
  FileOpenItem = item(FileMenu, "FileOpenItem", "ログファイルを開く(&O)", &TfrmMain::FileOpenItemClick);
  RecentLogMenu = FileMenu->addMenu(Utf("過去に読んだLOG(&L)"));
  RecentLogMenu->setObjectName("RecentLogMenu");
  ExportItem = item(FileMenu, "ExportItem", "エクスポート...", &TfrmMain::ExportItemClick);
  FileMenu->addSeparator();
  PropertyItem = item(FileMenu, "PropertyItem", "プロパティー(&P)", &TfrmMain::PropertyItemClick);
  ImportItem = item(FileMenu, "ImportItem", "ボード・ユーザデータ取込(&I)", &TfrmMain::ImportItemClick);
  FileMenu->addSeparator();
  ExitItem = item(FileMenu, "ExitItem", "終了(&X)", &TfrmMain::ExitItemClick);

  MessageMenu = menuBar()->addMenu(Utf("ﾒｯｾｰｼﾞ(&M)"));
  MessageMenu->setObjectName("MessageMenu");
  auto hook_item = [&](const char* name, const char* caption, std::function<void()> MainFrameHooks::*hook) {
    QAction* a = MessageMenu->addAction(Utf(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, [this, hook] { RunCommand(hooks_.*hook); });
    return a;
  };
  NewMailItem = hook_item("NewMailItem", "新規メール書き込み(&N)", &MainFrameHooks::new_mail);
  ResMailItem = hook_item("ResMailItem", "レスメール書き込み(&M)", &MainFrameHooks::res_mail);
  MessageMenu->addSeparator();
  NewMessageItem = hook_item("NewMessageItem", "新規メッセージ書き込み(&S)", &MainFrameHooks::new_message);
  ResMessageItem = hook_item("ResMessageItem", "レスメッセージ書き込み(&R)", &MainFrameHooks::res_message);
  MoveResMessageItem =
      hook_item("MoveResMessageItem", "移動レスメッセージ書き込み(&M)", &MainFrameHooks::move_res_message);
  MessageMenu->addSeparator();
  EditMessageItem = hook_item("EditMessageItem", "メッセージの編集(&E)", &MainFrameHooks::edit_message);
  DeleteMessageItem = hook_item("DeleteMessageItem", "メッセージの削除(&D)", &MainFrameHooks::delete_message);
  ReviveMessageItem = hook_item("ReviveMessageItem", "メッセージの復活(&R)", &MainFrameHooks::revive_message);
  connect(MessageMenu, &QMenu::aboutToShow, this, &TfrmMain::MessageMenuPopup);

  ToolBarMenu = menuBar()->addMenu(Utf("ﾂｰﾙﾊﾞｰ(&T)"));
  ToolBarMenu->setObjectName("ToolBarMenu");
  FileToolBarItem = item(ToolBarMenu, "FileToolBarItem", "ﾌｧｲﾙ(&F)", &TfrmMain::FileToolBarItemClick);
  MessageToolBarItem = item(ToolBarMenu, "MessageToolBarItem", "ﾒｯｾｰｼﾞ ｾﾚｸﾄ(&M)", &TfrmMain::MessageToolBarItemClick);
  FileToolBarItem->setCheckable(true);
  MessageToolBarItem->setCheckable(true);
  connect(ToolBarMenu, &QMenu::aboutToShow, this, &TfrmMain::MenuChangeCheckClick);

  WindowMenu = menuBar()->addMenu(Utf("ｳｨﾝﾄﾞｳ(&W)"));
  WindowMenu->setObjectName("WindowMenu");
  CascadeItem = item(WindowMenu, "CascadeItem", "重ねて表示(&C)", &TfrmMain::CascadeItemClick);
  TileItem = item(WindowMenu, "TileItem", "並べて表示(&T)", &TfrmMain::TileItemClick);
  ArrangeIconsItem = item(WindowMenu, "ArrangeIconsItem", "ｱｲｺﾝの整列(&A)", &TfrmMain::ArrangeIconsItemClick);
  MinimizeAllItem = item(WindowMenu, "MinimizeAllItem", "すべてをｱｲｺﾝ化(&M)", &TfrmMain::MinimizeAllItemClick);
  WindowMenu->addSeparator();
  DefaultPositionItem =
      item(WindowMenu, "DefaultPositionItem", "デフォルトの位置(&D)", &TfrmMain::DefaultPositionItemClick);
  DefaultSizeItem = item(WindowMenu, "DefaultSizeItem", "デフォルトのサイズ(&S)", &TfrmMain::DefaultSizeItemClick);
  WindowListSeparator = WindowMenu->addSeparator();
  connect(WindowMenu, &QMenu::aboutToShow, this, &TfrmMain::BuildWindowList);

  HelpMenu = menuBar()->addMenu(Utf("ﾍﾙﾌﾟ(&H)"));
  HelpMenu->setObjectName("HelpMenu");
  AboutItem = item(HelpMenu, "AboutItem", "ﾊﾞｰｼﾞｮﾝ情報(&A)", &TfrmMain::AboutItemClick);
}

void TfrmMain::BuildToolBars() {
  auto button = [](QToolBar* bar, const char* name, const char* hint, const QIcon& icon) {
    QAction* a = bar->addAction(icon, Utf(hint));
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(Utf(hint));
    a->setStatusTip(Utf(hint));
    if (QWidget* w = bar->widgetForAction(a)) w->setObjectName(QString::fromLatin1(name));
    return a;
  };
  const Qt::ToolBarAreas docks = Qt::TopToolBarArea | Qt::LeftToolBarArea | Qt::RightToolBarArea;

  FileToolBar = new QToolBar(Utf("ﾌｧｲﾙ"), this);
  FileToolBar->setObjectName("FileToolBar");
  FileToolBar->setAllowedAreas(docks);
  FileToolBar->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, FileToolBar);
  FileOpenButton = button(FileToolBar, "FileOpenButton", "ログファイルを開く",
                          ToolIcon(this, "document-open", QStyle::SP_DialogOpenButton));
  connect(FileOpenButton, &QAction::triggered, this, &TfrmMain::FileOpenItemClick);
  PropertyButton = button(FileToolBar, "PropertyButton", "プロパティー",
                          ToolIcon(this, "document-properties", QStyle::SP_FileDialogDetailedView));
  connect(PropertyButton, &QAction::triggered, this, &TfrmMain::PropertyItemClick);
  FileToolBar->addSeparator();
  UpTextButton = button(FileToolBar, "UpTextButton", "アップテキスト出力",
                        ToolIcon(this, "document-send", QStyle::SP_DialogSaveButton));
  connect(UpTextButton, &QAction::triggered, this, &TfrmMain::UpTextButtonClick);

  MessageToolBar = new QToolBar(Utf("ﾒｯｾｰｼﾞ ｾﾚｸﾄ"), this);
  MessageToolBar->setObjectName("MessageToolBar");
  MessageToolBar->setAllowedAreas(docks);
  MessageToolBar->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, MessageToolBar);
  for (size_t i = 0; i < kMessageButtons.size(); ++i) {
    const MessageButton& b = kMessageButtons[i];
    if (i == 4) MessageToolBar->addSeparator();
    message_buttons_[i] = button(MessageToolBar, b.name, b.hint, ToolIcon(this, b.theme_icon, b.fallback));
    message_buttons_[i]->setEnabled(false);
  }
}

void TfrmMain::CreateDocumentWindows() {
  board_user_list_ = new TfrmBoardUserList(state_, ports_);
  board_user_sub_ =
      mdi_->addSubWindow(board_user_list_, Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  board_user_sub_->setObjectName("BoardUserListWindow");
  board_user_sub_->setGeometry(0, 0, kDefaultBoardUserWidth, kDefaultBoardUserHeight);
  board_user_sub_->installEventFilter(this);

  log_message_ = new TfrmLogMessage(state_, ports_);
  connect(log_message_, &TfrmLogMessage::SaveTextRequested, this, [this](int index, bool thread) {
    if (index < 0 || static_cast<size_t>(index) >= state_.messages.Size()) return;
    const size_t i = static_cast<size_t>(index);
    SaveMessagesAsText(this, state_, ports_, open_logs_,
                       thread ? ThreadSelection(state_.message_tree, i) : std::vector<size_t>{i});
  });
  log_message_sub_ = mdi_->addSubWindow(log_message_);
  log_message_sub_->setObjectName("LogMessageWindow");
  log_message_sub_->setGeometry(kDefaultBoardUserWidth, 0, kDefaultLogMessageWidth, kDefaultLogMessageHeight);
  log_message_sub_->installEventFilter(this);
  board_user_sub_->show();
  log_message_sub_->show();
  board_user_normal_ = new NormalGeometryKeeper(board_user_sub_);
  log_message_normal_ = new NormalGeometryKeeper(log_message_sub_);

  for (size_t i = 0; i < kMessageButtons.size(); ++i) {
    connect(message_buttons_[i], &QAction::triggered, log_message_, kMessageButtons[i].slot);
  }
  connect(board_user_list_, &TfrmBoardUserList::BoardFilterRequested, this,
          [this](const QByteArray& type, const QByteArray& no, const QByteArray& name) {
            try {
              log_message_->FilterByBoard(type.toStdString(), no.toStdString(), name.toStdString());
            } catch (const std::exception& e) {
              ReportError(*ports_.prompter, e);
            }
          });
}

TfrmNewSet* TfrmMain::Properties() {
  if (properties_ == nullptr) {
    properties_ = new TfrmNewSet(state_, ports_, this);
    connect(properties_, &TfrmNewSet::displaySettingsChanged, this, [this] {
      board_user_list_->ApplyDisplaySettings();
      log_message_->ApplyDisplaySettings();
    });
  }
  return properties_;
}

TfrmSelectMoveBoard* TfrmMain::SelectMoveBoard() {
  if (select_move_board_ == nullptr) select_move_board_ = new TfrmSelectMoveBoard(state_.boards, *ports_.store, this);
  return select_move_board_;
}

TfrmAbout* TfrmMain::About() {
  if (about_ == nullptr) about_ = new TfrmAbout(this);
  return about_;
}

void TfrmMain::SetHooks(MainFrameHooks hooks) {
  hooks_ = std::move(hooks);
  UpdateCommandStates();
}

void TfrmMain::UpdateCommandStates() {
  UpTextButton->setEnabled(state_.pending_count > 0);
  board_user_list_->SetNetSelectionEnabled(NetSelectionFree());
}

bool TfrmMain::NetSelectionFree() const {
  // The board/user window names the net that written messages go out for: it
  // stays on the shown log's net, on the net of pending messages and on the
  // net of a composition still in the editor.
  return state_.messages.Empty() && state_.pending_count == 0 && !state_.editor_busy;
}

void TfrmMain::RunCommand(const std::function<void()>& command) {
  if (!command) return;
  try {
    command();
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
  UpdateCommandStates();
}

// ---- opening logs ----

void TfrmMain::FileOpenItemClick() {
  if (opening_ || RefusedWhileEditorBusy(state_, *ports_.prompter)) return;
  if (RefusedWithoutNets(state_.nets, *ports_.prompter)) return;
  OpenFilesRequest request;
  request.title = Utf("ログファイルを開く");
  request.directory = open_folder_;
  request.name_filters = open_filters_;
  request.multiple = true;
  const QStringList chosen = ActiveFileChooser().OpenFiles(this, request);
  if (chosen.isEmpty()) return;
  std::vector<std::string> files;
  for (const QString& f : chosen) files.push_back(NativePath(f));
  RunOpenLogs(files);
}

void TfrmMain::OpenLogFiles(const QStringList& paths) {
  std::vector<std::string> native;
  for (const QString& p : paths) native.push_back(NativePath(p));
  OpenLogPaths(native);
}

void TfrmMain::OpenLogPaths(const std::vector<std::string>& paths) {
  if (paths.empty() || opening_) return;
  if (RefusedWithoutNets(state_.nets, *ports_.prompter)) {
    read_ahead_.reset();  // nothing will take it
    return;
  }
  std::vector<std::string> files;
  for (const std::string& p : paths) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(p));
    if (NativePath(name) == p) {
      files.push_back(NativePath(QFileInfo(name).absoluteFilePath()));
    } else if (!p.empty() && p[0] == '/') {
      files.push_back(p);  // a name the toolkit cannot decode keeps its bytes
    } else {
      try {
        files.push_back(TrailingSeparator(CurrentDirectory()) + p);
      } catch (const IoError&) {
        files.push_back(p);  // the folder is gone: the open reports the log missing
      }
    }
  }
  RunOpenLogs(files);
}

void TfrmMain::ExportItemClick() {
  if (opening_) return;
  TfrmExport dialog(this, state_, ports_, open_logs_, log_message_->ShownMessage());
  dialog.exec();
}

void TfrmMain::RecentLogItemClick(int slot) {
  if (opening_ || slot < 0 || slot >= static_cast<int>(state_.settings.paths.size())) return;
  const std::string path = state_.settings.paths[static_cast<size_t>(slot)];
  if (path.empty()) return;
  RunOpenLogs({path}, slot);
}

void TfrmMain::RunOpenLogs(const std::vector<std::string>& files, int recent_slot) {
  // Only the first open may take a read ahead. One it did not take goes with
  // it; one it took is kept while it removes the file it replaced.
  std::unique_ptr<LogsReadAhead> ahead = std::move(read_ahead_);
  // A composition in the editor belongs to the open log's net, but it is not
  // pending until the editor ends: opening or importing another net's capture
  // meanwhile would send it with that net's upload file.
  if (RefusedWhileEditorBusy(state_, *ports_.prompter)) return;
  // A log that is gone is reported before anything changes: the logs shown stay.
  for (const std::string& file : files) {
    if (!FileExists(file)) {
      ReportMissingLog(file, recent_slot);
      return;
    }
  }
  opening_ = true;
  opening_files_ = files;
  open_stage_ = OpenStage::Untouched;
  setAcceptDrops(false);
  try {
    const OpenLogsResult result = OpenLogs(state_, ports_, *this, files, ahead.get());
    if (result == OpenLogsResult::NoNet) ShowWhatIsLoaded();
    else if (result != OpenLogsResult::Refused) open_logs_ = files;
  } catch (const std::exception& e) {
    ShowWhatIsLoaded();
    ReportError(*ports_.prompter, e);
  }
  if (ahead && ahead->Taken()) taken_read_ahead_ = std::move(ahead);
  opening_ = false;
  opening_files_.clear();
  setAcceptDrops(true);
  UpdateCommandStates();
  WatchMessageTreeRest();
}

void TfrmMain::WatchMessageTreeRest() {
  if (!state_.message_tree_rest) return;
  state_.message_tree_rest->Start();  // the open has painted its window
  QCoreApplication::instance()->installEventFilter(this);
  tree_rest_timer_->start();
}

void TfrmMain::CompleteMessageTree() {
  tree_rest_timer_->stop();
  QCoreApplication::instance()->removeEventFilter(this);
  try {
    log_message_->CompleteMessageTree();
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
}

void TfrmMain::ShowWhatIsLoaded() {
  // Stopped before the previous messages were emptied: they are still shown.
  if (open_stage_ == OpenStage::Untouched) return;
  if (open_stage_ == OpenStage::Cleared && !state_.messages.Empty()) {
    // Stopped while reading: a part of the logs is shown as none of them.
    state_.message_tree_rest.reset();
    state_.messages.Clear();
    state_.message_tree.Clear();
  }
  if (state_.messages.Empty()) {
    open_logs_.clear();
    SetMessageTitle(NoLogMessageTitle());
    SetMessageCounters(0, 0);
    ClearMessageText();
    EnableNavigation(false);
  } else {
    EnableNavigation(true);
  }
  FillBoardUserGrids();
}

void TfrmMain::ReportMissingLog(const std::string& path, int recent_slot) {
  static const std::string head = Sjis("ログファイル[");
  static const std::string tail = Sjis("]が見つかりません。");
  static const std::string removed = Sjis("\n\r過去に読んだLOGの一覧から削除します。");
  const std::string shown = Utf8ToSjis(QFile::decodeName(QByteArray::fromStdString(path)).toStdString());
  ports_.prompter->Error(head + shown + tail + (recent_slot >= 0 ? removed : std::string()));
  if (recent_slot < 0 || !RemoveRecentLog(state_.settings, static_cast<size_t>(recent_slot))) return;
  try {
    SaveSettings(state_.settings, *ports_.store);
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
  RebuildRecentLogMenu();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (opening_ || !mime->hasUrls()) return;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) return;
  }
  event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  event->acceptProposedAction();
  // Opening shows message boxes: run it once the drop has finished.
  QTimer::singleShot(0, this, [this, paths] { OpenLogFiles(paths); });
}

// ---- OpenLogsView ----

void TfrmMain::ClearMessageGrid() { log_message_->ClearMessageGrid(); }
void TfrmMain::ClearMessageTree() {
  if (opening_) open_stage_ = OpenStage::Cleared;
  log_message_->ClearMessageTree();
}
void TfrmMain::SetMessageTitle(const std::string& sjis) {
  if (sjis == NoLogMessageTitle() || opening_files_.empty()) {
    log_message_->SetTitle(sjis);
    return;
  }
  // The file names as the file system names them (not as Shift-JIS).
  QString shown = Utf("メッセージ [ ");
  for (const std::string& file : opening_files_) {
    shown += QFile::decodeName(QByteArray::fromStdString(std::string(FileNameOf(file)))) + u' ';
  }
  log_message_->SetTitle(sjis, shown + u']');
}
std::string TfrmMain::MessageTitle() const { return log_message_->Title(); }
void TfrmMain::FillMessageGrid() { log_message_->FillMessageGrid(); }
void TfrmMain::FillMessageTree() {
  if (opening_) open_stage_ = OpenStage::Filled;
  log_message_->FillMessageTree();
}
void TfrmMain::SetMessageCounters(int64_t all_count, int64_t now_row) { log_message_->SetCounters(all_count, now_row); }
void TfrmMain::ClearMessageText() { log_message_->ClearMessageText(); }
void TfrmMain::ShowOpenPage(int open_page) { log_message_->ShowOpenPage(open_page); }
int TfrmMain::SelectedNet() const { return board_user_list_->SelectedNet(); }
void TfrmMain::SelectNet(int net_index) { board_user_list_->SelectNet(net_index); }
void TfrmMain::EnableNetSelection(bool enabled) {
  board_user_list_->SetNetSelectionEnabled(enabled && NetSelectionFree());
}
void TfrmMain::ClearBoardUserGrids() { board_user_list_->ClearGrids(); }
void TfrmMain::FillBoardUserGrids() {
  board_user_list_->FillBoardGrid();
  board_user_list_->FillUserGrid();
}
void TfrmMain::EnableNavigation(bool enabled) {
  for (QAction* b : message_buttons_) b->setEnabled(enabled);
}

void TfrmMain::RebuildRecentLogMenu() {
  RecentLogMenu->clear();
  for (const RecentLogItem& r : RecentLogMenuItems(state_.settings)) {
    QAction* a = nullptr;
    if (r.slot < 0) {
      a = RecentLogMenu->addAction(FromSjis(r.caption));
      a->setObjectName("NoRecentLogItem");
    } else {
      // "&n : " then the path, whose own "&" must not become an access key.
      const QString prefix = QString::fromLatin1(r.caption.substr(0, 5));
      const QString path = QFile::decodeName(QByteArray::fromStdString(r.caption.substr(5)));
      a = RecentLogMenu->addAction(prefix + QString(path).replace('&', QStringLiteral("&&")));
      a->setObjectName(QStringLiteral("Path%1").arg(r.slot));
      const int slot = r.slot;
      connect(a, &QAction::triggered, this, [this, slot] { RecentLogItemClick(slot); });
    }
    a->setEnabled(r.enabled);
  }
}

// ---- other commands ----

void TfrmMain::PropertyItemClick() {
  if (opening_) return;
  const int shown_net = board_user_list_->SelectedNet();
  const std::string lists_header = state_.nets.Contains(shown_net) ? state_.nets.At(shown_net).log_header : "";
  Properties()->ShowModal();
  // The net list may have changed: the chooser names the nets as they are now and
  // stays on the net whose lists it shows.
  board_user_list_->NetsEdited(properties_->NetIndexAfterEdit(shown_net), lists_header);
  open_filters_ = NameFiltersFromFilterText(OpenLogFilter(state_.nets));
}

namespace {

// The window-facing steps of the board/user import.
class FrameImportView final : public ImportView {
 public:
  FrameImportView(TfrmMain& frame, TfrmBoardUserList& boards, const QString& folder, const QStringList& filters)
      : frame_(frame), boards_(boards), folder_(folder), filters_(filters) {}

  std::optional<std::string> ChooseCapture() override {
    OpenFilesRequest request;
    request.title = FromSjis(ImportDialogTitle());
    request.directory = folder_;
    request.name_filters = filters_;
    request.multiple = true;
    const QStringList chosen = ActiveFileChooser().OpenFiles(&frame_, request);
    if (chosen.isEmpty()) return std::nullopt;
    return NativePath(chosen.first());
  }
  std::string ShownLogHeader() override { return ReferenceHeader(frame_.MessageTitle()); }
  void SelectNet(int net_index) override {
    boards_.SelectNet(net_index);
    net_selected_ = true;
  }
  void FillBoardGrid() override { boards_.FillBoardGrid(); }
  void FillUserGrid() override { boards_.FillUserGrid(); }

  // The import got as far as the capture's net: the lists may be that net's.
  bool NetSelected() const { return net_selected_; }

 private:
  TfrmMain& frame_;
  TfrmBoardUserList& boards_;
  QString folder_;
  QStringList filters_;
  bool net_selected_ = false;
};

}  // namespace

void TfrmMain::ImportItemClick() {
  if (opening_ || RefusedWhileEditorBusy(state_, *ports_.prompter)) return;  // as for opening
  opening_ = true;
  // A message is written for the net whose board or member it was written to,
  // with the upload file and handle of DefaultNet: the board/user window must
  // name that net. While a log is shown it stays with the log's net (another
  // net's capture still updates that net's files); with no log shown the
  // capture's net becomes the window's net, as if chosen in the selector.
  const bool log_shown = !state_.messages.Empty();
  const int shown_net = board_user_list_->SelectedNet();
  const std::string shown_header = state_.current_log_header;
  FrameImportView view(*this, *board_user_list_, open_folder_, open_filters_);
  try {
    ImportBoardUserInfo(state_, ports_, view);
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
  try {
    if (log_shown) {
      const bool other_net = state_.current_log_header != shown_header;
      state_.current_log_header = shown_header;
      if (view.NetSelected() && other_net) {
        board_user_list_->ClearGrids();
        state_.boards.clear();
        state_.users.clear();
        board_user_list_->SelectNet(shown_net);
        ReadExistingBoardUserFiles(state_.boards, state_.users, state_.work_dir, shown_header, *ports_.prompter);
      }
    } else if (view.NetSelected() && board_user_list_->SelectedNet() != state_.settings.default_net) {
      state_.settings.default_net = board_user_list_->SelectedNet();
      SaveSettings(state_.settings, *ports_.store);
    }
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
  // The grids show the lists as the import left them, also when it restored
  // them from the files or stopped half-way.
  board_user_list_->FillBoardGrid();
  board_user_list_->FillUserGrid();
  opening_ = false;
  UpdateCommandStates();
}

void TfrmMain::UpTextButtonClick() { RunCommand(hooks_.up_text); }

void TfrmMain::ExitItemClick() {
  // The member's own exit always runs the close check.
  session_ending_ = false;
  close();
}

void TfrmMain::MessageMenuPopup() {
  const MessageMenuState s = log_message_->UpdateMessageMenu();
  NewMailItem->setEnabled(s.new_mail && hooks_.new_mail);
  ResMailItem->setEnabled(s.res_mail && hooks_.res_mail);
  NewMessageItem->setEnabled(s.new_message && hooks_.new_message);
  ResMessageItem->setEnabled(s.res_message && hooks_.res_message);
  MoveResMessageItem->setEnabled(s.move_res_message && hooks_.move_res_message);
  EditMessageItem->setEnabled(s.edit_message && hooks_.edit_message);
  DeleteMessageItem->setEnabled(s.delete_message && hooks_.delete_message);
  ReviveMessageItem->setEnabled(s.revive_message && hooks_.revive_message);
}

void TfrmMain::MenuChangeCheckClick() {
  FileToolBarItem->setChecked(!FileToolBar->isHidden());
  MessageToolBarItem->setChecked(!MessageToolBar->isHidden());
}

void TfrmMain::FileToolBarItemClick() {
  FileToolBar->setVisible(FileToolBar->isHidden());
  MenuChangeCheckClick();
}

void TfrmMain::MessageToolBarItemClick() {
  MessageToolBar->setVisible(MessageToolBar->isHidden());
  MenuChangeCheckClick();
}

void TfrmMain::CascadeItemClick() { mdi_->cascadeSubWindows(); }

void TfrmMain::TileItemClick() { mdi_->tileSubWindows(); }

void TfrmMain::ArrangeIconsItemClick() {
  // Minimized document windows in a row along the bottom of the area.
  int x = 0;
  const int bottom = mdi_->viewport()->height();
  for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder)) {
    if (!sub->isMinimized()) continue;
    sub->move(x, bottom - sub->height());
    x += sub->width();
  }
}

void TfrmMain::MinimizeAllItemClick() {
  const QList<QMdiSubWindow*> subs = mdi_->subWindowList(QMdiArea::CreationOrder);
  for (qsizetype i = subs.size() - 1; i >= 0; --i) subs[i]->showMinimized();
}

void TfrmMain::DefaultPositionItemClick() {
  board_user_sub_->move(1, 1);
  log_message_sub_->move(board_user_sub_->x() + board_user_sub_->width(), board_user_sub_->y());
}

void TfrmMain::DefaultSizeItemClick() {
  board_user_sub_->resize(kDefaultBoardUserWidth, kDefaultBoardUserHeight);
  log_message_sub_->resize(kDefaultLogMessageWidth, kDefaultLogMessageHeight);
}

void TfrmMain::BuildWindowList() {
  for (QAction* a : window_list_items_) {
    WindowMenu->removeAction(a);
    a->deleteLater();
  }
  window_list_items_.clear();
  int n = 0;
  for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder)) {
    ++n;
    QAction* a = WindowMenu->addAction(QStringLiteral("&%1 %2").arg(n).arg(sub->windowTitle()));
    a->setObjectName(QStringLiteral("WindowListItem%1").arg(n));
    a->setCheckable(true);
    a->setChecked(sub == mdi_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, sub] {
      if (sub->isMinimized()) sub->showNormal();
      mdi_->setActiveSubWindow(sub);
    });
    window_list_items_ << a;
  }
}

void TfrmMain::AboutItemClick() { About()->exec(); }

// ---- closing ----

bool TfrmMain::CloseCheck() {
  // A message still in the editor would be lost: the program waits for it.
  if (RefusedWhileEditorBusy(state_, *ports_.prompter)) return false;
  try {
    // Saved only under the net whose marks the store holds.
    SaveReadMarks(state_);
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
    // A file that cannot be written must not keep the member from ending the
    // program: asked, and only a Yes leaves this session's mark changes behind.
    static const std::string question = Sjis(
        "既読情報を保存出来ませんでした。\n\r"
        "今回の既読の変更を保存せずに終了しますか？");
    if (ports_.prompter->Confirm(question, Answer::No) != Answer::Yes) return false;
  }
  if (state_.pending_count > 0 && hooks_.output_pending_at_close) {
    try {
      return hooks_.output_pending_at_close();
    } catch (const std::exception& e) {
      ReportError(*ports_.prompter, e);
      return false;
    }
  }
  return true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (session_ending_) {
    SaveSessionQuietly();
    closing_ = true;
    event->accept();
    return;
  }
  if (opening_ || !CloseCheck()) {
    event->ignore();
    return;
  }
  closing_ = true;
  // Placement and toolbars are stored before the frame is hidden: a floating
  // toolbar hides with it and would be stored as hidden.
  SavePlacements();
  event->accept();
}

void TfrmMain::ReadMarksChanged() {
  // Not restarted by later changes: a change is on disk within the interval
  // even while the member keeps reading.
  if (!mark_save_timer_->isActive()) mark_save_timer_->start();
}

void TfrmMain::SaveReadMarksNow() {
  if (opening_) {  // the pipeline is switching stores: after it
    mark_save_timer_->start();
    return;
  }
  try {
    SaveReadMarks(state_);
    mark_save_failed_ = false;
  } catch (const std::exception& e) {
    // Told once; the close check reports it again.
    if (!mark_save_failed_) {
      mark_save_failed_ = true;
      ReportError(*ports_.prompter, e);
    }
  }
}

bool TfrmMain::SaveSessionQuietly() {
  bool saved = true;
  mark_save_timer_->stop();
  try {
    SaveReadMarks(state_);
  } catch (const std::exception& e) {
    std::cerr << "tobrisk: read marks not saved: " << e.what() << '\n';
    saved = false;
  }
  try {
    SaveWriteJournal(state_);
  } catch (const std::exception& e) {
    std::cerr << "tobrisk: write list not saved: " << e.what() << '\n';
    saved = false;
  }
  return saved;
}

void TfrmMain::EndSession() {
  if (closing_) return;
  session_ending_ = true;
  SaveSessionQuietly();
  closing_ = true;
  // exit(), not quit(): quit() would ask the windows to close, and the close
  // check asks questions. Every nested loop (a box, the editor's wait) ends too.
  QCoreApplication::exit(0);
}

void TfrmMain::OfferPreviousWrites() {
  std::optional<WriteJournal> journal;
  try {
    journal = LoadWriteJournal(state_.tmp_dir);
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
    return;
  }
  if (!journal || !state_.writes.empty()) return;
  try {
    const int live = CountLiveEntries(journal->entries);
    if (live == 0) {  // only deleted messages: nothing to offer
      RemoveWriteJournal(state_.tmp_dir);
      return;
    }
    const Answer answer = ports_.prompter->Confirm(PreviousWritesQuestion(live));
    if (closing_) return;  // the program is ending: the journal stays for the next start
    if (answer == Answer::No) {
      RemoveWriteJournal(state_.tmp_dir);
      return;
    }
    // Yes, and also Cancel: only an explicit No drops the list.
    const int net = RestoreWriteList(state_, *journal);
    if (net < 0) {
      ports_.prompter->Error(PreviousWritesNetMissing(journal->log_header, live));
      return;
    }
    board_user_list_->SelectNet(net);
    board_user_list_->ComboBox1Change();
    board_user_list_->SetNetSelectionEnabled(false);
    for (size_t i = 0; i < state_.writes.size(); ++i) log_message_->AddWriteRow(i);
    SaveWriteJournal(state_);  // the SerialNo as they are now
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
  UpdateCommandStates();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (state_.message_tree_rest) {
    // Anything the user does may look at the whole tree (watched on the
    // application while its rest is built).
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::ShortcutOverride:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::Drop:
      case QEvent::Close:
      case QEvent::InputMethod:
      case QEvent::TouchBegin: CompleteMessageTree(); break;
      default: break;
    }
  }
  // The document windows live as long as the frame: closing one minimizes it.
  if (event->type() == QEvent::Close && !closing_ && (watched == board_user_sub_ || watched == log_message_sub_)) {
    event->ignore();
    static_cast<QMdiSubWindow*>(watched)->showMinimized();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- placement ----

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The document windows take their stored placement once the frame is up and
  // the area has activated its first window (activation would undo states).
  if (!documents_restore_pending_) {
    documents_restore_pending_ = true;
    QTimer::singleShot(0, this, &TfrmMain::RestoreDocumentPlacements);
  }
}

void TfrmMain::RestoreDocumentPlacements() {
  // Minimized windows first and maximized ones last: in the document area a
  // window that is maximized while another is minimized brings that one back.
  std::vector<std::pair<QMdiSubWindow*, FormPositionOptions>> windows{{board_user_sub_, BoardUserListFormPosition()},
                                                                      {log_message_sub_, LogMessageFormPosition()}};
  auto rank = [this](const FormPositionOptions& options) {
    const auto state = RestoreFormPlacement(*ports_.store, options).state;
    if (state == WindowState::Minimized) return 0;
    return state == WindowState::Maximized ? 2 : 1;
  };
  std::stable_sort(windows.begin(), windows.end(),
                   [&](const auto& a, const auto& b) { return rank(a.second) < rank(b.second); });
  for (const auto& [sub, options] : windows) RestoreWindowPlacement(sub, *ports_.store, options);
  documents_restored_ = true;
}

void TfrmMain::SavePlacements() {
  if (placements_saved_) return;
  placements_saved_ = true;
  try {
    SaveWindowPlacement(this, *ports_.store, MainFormPosition());
    SaveToolbarPlacement(this, {FileToolBar, MessageToolBar}, *ports_.store);
    // Only placements that were taken from the store go back to it.
    if (documents_restored_) {
      SaveWindowPlacement(board_user_sub_, *ports_.store, BoardUserListFormPosition(), board_user_normal_);
      SaveWindowPlacement(log_message_sub_, *ports_.store, LogMessageFormPosition(), log_message_normal_);
    }
  } catch (const std::exception&) {
    // Window placement is a convenience: a store that cannot be written at exit
    // must not stop the program from ending.
  }
}

}  // namespace tobrisk::gui
