// The main frame on its real windows: menus, toolbars, the version dialog, the
// open-log commands with their refusals, the recent-log list, the window
// commands, the close check and the progress display.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QPlainTextEdit>
#include <QMimeData>
#include <QProcess>
#include <QTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

#include "gui/boards/TfrmBoardUserList.h"
#include "board_capture_generator.h"
#include "capture_generator.h"
#include "helpers/gui_fixture.h"
#include "helpers/gui_text.h"
#include "core/reading/read_marks.h"
#include "gui/reading/TfrmLogMessage.h"
#include "core/settings/app_settings.h"
#include "core/settings/form_position.h"
#include "gui/boards/TfrmSelectMoveBoard.h"
#include "gui/settings/TfrmNewSet.h"
#include "gui/shell/TfrmAbout.h"
#include "gui/widgets/program_icon.h"
#include "core/text/sjis.h"
#include "gui/widgets/gui_progress.h"

using namespace tobrisk;
using namespace tobrisk::testing;

namespace {

// The captions of a menu's items in order, "-" for a separator.
QStringList Captions(const QMenu* menu) {
  QStringList out;
  for (const QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

const QStringList kNavigationButtons = {"MessageTopButton",     "MessageUpButton",       "MessageDownButton",
                                        "MessageLastButton",    "FindNoReadButton",      "FindAlreadyButton",
                                        "FindAlreadyResButton", "FindAlreadyCheckButton"};

}  // namespace

class TestMainFrame : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainFrameFixture> f_;

  // Two nets: ABCD "ネットA" and WXYZ "ネットB".
  void StartWithNets() {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "WXYZ\tネットB\tじろう\tUPB"});
    f_->Start();
  }
  QString WriteLog(const std::string& name, const std::string& bytes) {
    f_->Folder().Write(name, bytes);
    return QString::fromStdString(f_->Folder().Path(name));
  }
  // A generated capture of 4 boards of 10 messages and 3 mails.
  void WriteGeneratedLog(const std::string& name, uint32_t seed) {
    CaptureOptions o;
    o.seed = seed;
    o.boards = 4;
    o.messages_per_board = 10;
    o.mails = 3;
    WriteLog(name, GenerateCapture(o));
  }
  void OpenThroughDialog(const QStringList& files) {
    f_->Chooser().file_answers.push_back(files);
    f_->Trigger("FileOpenItem");
  }
  bool NavigationEnabled() {
    for (const QString& n : kNavigationButtons) {
      if (!f_->Action(n)->isEnabled()) return false;
    }
    return true;
  }
  bool NavigationDisabled() {
    for (const QString& n : kNavigationButtons) {
      if (f_->Action(n)->isEnabled()) return false;
    }
    return true;
  }
  QString MessageTitle() { return f_->Frame().LogMessage()->windowTitle(); }
  bool DocumentsPlaced() { return f_->Frame().DocumentPlacementsRestored(); }

 private slots:
  void init() { f_ = std::make_unique<MainFrameFixture>(); }
  void cleanup() {
    f_.reset();
    CloseAllWindows();
  }

  void everyWindowCarriesTheProgramIcon() {
    StartWithNets();
    const qint64 icon = gui::ProgramIcon().cacheKey();
    QVERIFY(!gui::ProgramIcon().pixmap(16, 16).isNull());
    QCOMPARE(f_->Frame().windowIcon().cacheKey(), icon);
    const auto documents = f_->Frame().findChild<QMdiArea*>("MdiArea")->subWindowList();
    QCOMPARE(documents.size(), 2);
    for (const QMdiSubWindow* document : documents) QCOMPARE(document->windowIcon().cacheKey(), icon);
    const QList<const QWidget*> dialogs = {f_->Frame().Properties(), f_->Frame().SelectMoveBoard(),
                                           f_->Frame().About()};
    for (const QWidget* dialog : dialogs) QCOMPARE(dialog->windowIcon().cacheKey(), icon);
  }

  void menusCarryEveryCaptionAndAccessKey() {
    StartWithNets();
    gui::TfrmMain& m = f_->Frame();
    QCOMPARE(m.windowTitle(), U("DuzoDevova ＮORU's OffLine Tool [ Tobrisk for Windows95 ] Version.1.1"));
    QStringList bar;
    for (const QAction* a : m.menuBar()->actions()) bar << a->text();
    QCOMPARE(bar, QStringList({U("ﾌｧｲﾙ(&F)"), U("ﾒｯｾｰｼﾞ(&M)"), U("ﾂｰﾙﾊﾞｰ(&T)"), U("ｳｨﾝﾄﾞｳ(&W)"), U("ﾍﾙﾌﾟ(&H)")}));
    QCOMPARE(Captions(f_->Find<QMenu>("FileMenu")),
             QStringList({U("ログファイルを開く(&O)"), U("過去に読んだLOG(&L)"), U("エクスポート..."), "-",
                          U("プロパティー(&P)"), U("ボード・ユーザデータ取込(&I)"), "-", U("終了(&X)")}));
    QCOMPARE(
        Captions(f_->Find<QMenu>("MessageMenu")),
        QStringList({U("新規メール書き込み(&N)"), U("レスメール書き込み(&M)"), "-", U("新規メッセージ書き込み(&S)"),
                     U("レスメッセージ書き込み(&R)"), U("移動レスメッセージ書き込み(&M)"), "-",
                     U("メッセージの編集(&E)"), U("メッセージの削除(&D)"), U("メッセージの復活(&R)")}));
    QCOMPARE(Captions(f_->Find<QMenu>("ToolBarMenu")), QStringList({U("ﾌｧｲﾙ(&F)"), U("ﾒｯｾｰｼﾞ ｾﾚｸﾄ(&M)")}));
    QStringList window = Captions(f_->Find<QMenu>("WindowMenu"));
    QCOMPARE(window.mid(0, 7),
             QStringList({U("重ねて表示(&C)"), U("並べて表示(&T)"), U("ｱｲｺﾝの整列(&A)"), U("すべてをｱｲｺﾝ化(&M)"), "-",
                          U("デフォルトの位置(&D)"), U("デフォルトのサイズ(&S)")}));
    QCOMPARE(Captions(f_->Find<QMenu>("HelpMenu")), QStringList({U("ﾊﾞｰｼﾞｮﾝ情報(&A)")}));

    // The window list follows the document windows when the menu opens.
    emit f_->Find<QMenu>("WindowMenu")->aboutToShow();
    window = Captions(f_->Find<QMenu>("WindowMenu"));
    QCOMPARE(window.mid(7), QStringList({"-", U("&1 ボード・ユーザ一覧"), U("&2 メッセージ")}));
  }

  void writingCommandsStayDisabledWithoutTheirWork() {
    StartWithNets();
    f_->Frame().BoardUserList()->BoardGridView()->setFocus();
    emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
    for (const char* name : {"NewMailItem", "ResMailItem", "NewMessageItem", "ResMessageItem", "MoveResMessageItem",
                             "EditMessageItem", "DeleteMessageItem", "ReviveMessageItem"}) {
      QVERIFY2(!f_->Action(name)->isEnabled(), name);
    }

    // Once the work is hooked in, the focused grid decides.
    int new_messages = 0;
    gui::MainFrameHooks hooks;
    hooks.new_message = [&] { ++new_messages; };
    f_->Frame().SetHooks(hooks);
    f_->Folder().Write("ABCD.BRD", FrameBoardFile());
    f_->Frame().BoardUserList()->SelectNet(0);
    f_->Frame().BoardUserList()->ComboBox1Change();
    QTableView* grid = f_->Frame().BoardUserList()->BoardGridView();
    grid->setCurrentIndex(grid->model()->index(1, 1));  // a board, not the mail row
    grid->setFocus();
    QApplication::setActiveWindow(&f_->Frame());
    if (QApplication::focusWidget() == grid) {  // focus is not guaranteed offscreen
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      QVERIFY(f_->Action("NewMessageItem")->isEnabled());
      f_->Trigger("NewMessageItem");
      QCOMPARE(new_messages, 1);
    }
  }

  void toolbarsShowHintsAndStartDisabled() {
    StartWithNets();
    auto* file = f_->Find<QToolBar>("FileToolBar");
    auto* message = f_->Find<QToolBar>("MessageToolBar");
    QCOMPARE(file->windowTitle(), U("ﾌｧｲﾙ"));
    QCOMPARE(message->windowTitle(), U("ﾒｯｾｰｼﾞ ｾﾚｸﾄ"));
    QStringList hints;
    for (const QAction* a : file->actions()) hints << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
    QCOMPARE(hints, QStringList({U("ログファイルを開く"), U("プロパティー"), "-", U("アップテキスト出力")}));
    hints.clear();
    for (const QAction* a : message->actions()) hints << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
    QCOMPARE(hints, QStringList({U("メッセージの先頭"), U("前のメッセージ"), U("次のメッセージ"), U("最後のメッセージ"),
                                 "-", U("未読の検索"), U("既読の検索"), U("レス済の検索"), U("チェック済の検索")}));
    for (const QAction* a : file->actions() + message->actions()) {
      if (!a->isSeparator()) QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
    }
    QVERIFY(f_->Action("FileOpenButton")->isEnabled());
    QVERIFY(f_->Action("PropertyButton")->isEnabled());
    QVERIFY(!f_->Action("UpTextButton")->isEnabled());
    QVERIFY(NavigationDisabled());

    // The up-text button follows PendingCount.
    f_->State().pending_count = 1;
    f_->Frame().UpdateCommandStates();
    QVERIFY(f_->Action("UpTextButton")->isEnabled());
    f_->State().pending_count = 0;
    f_->Frame().UpdateCommandStates();
    QVERIFY(!f_->Action("UpTextButton")->isEnabled());
  }

  void toolbarMenuTogglesAndTheNextStartKeepsIt() {
    StartWithNets();
    auto* menu = f_->Find<QMenu>("ToolBarMenu");
    emit menu->aboutToShow();
    QVERIFY(f_->Action("FileToolBarItem")->isChecked());
    QVERIFY(f_->Action("MessageToolBarItem")->isChecked());
    f_->Trigger("MessageToolBarItem");
    emit menu->aboutToShow();
    QVERIFY(f_->Find<QToolBar>("MessageToolBar")->isHidden());
    QVERIFY(!f_->Action("MessageToolBarItem")->isChecked());
    QVERIFY(f_->Action("FileToolBarItem")->isChecked());

    f_->Stop();
    f_->Start();
    emit f_->Find<QMenu>("ToolBarMenu")->aboutToShow();
    QVERIFY(f_->Find<QToolBar>("MessageToolBar")->isHidden());
    QVERIFY(!f_->Find<QToolBar>("FileToolBar")->isHidden());
    QVERIFY(!f_->Action("MessageToolBarItem")->isChecked());
    f_->Trigger("MessageToolBarItem");
    QVERIFY(!f_->Find<QToolBar>("MessageToolBar")->isHidden());
  }

  void toolbarDocksAreRestoredAndSaved() {
    {
      QtSettingsStore store;
      ToolbarState left;
      left.docked_to = "DockLeft";
      SaveToolbarState(store, "MessageToolBar", left);
      store.Flush();
    }
    StartWithNets();
    QCOMPARE(f_->Frame().toolBarArea(f_->Find<QToolBar>("MessageToolBar")), Qt::LeftToolBarArea);
    QCOMPARE(f_->Frame().toolBarArea(f_->Find<QToolBar>("FileToolBar")), Qt::TopToolBarArea);
    f_->Frame().addToolBar(Qt::RightToolBarArea, f_->Find<QToolBar>("FileToolBar"));
    f_->Stop();
    auto store = f_->ReopenStore();
    QCOMPARE(ReadRegString(*store, "Settings ToolBars/FileToolBar", "DockedTo", ""), std::string("DockRight"));
    QCOMPARE(ReadRegString(*store, "Settings ToolBars/MessageToolBar", "DockedTo", ""), std::string("DockLeft"));
    QCOMPARE(ReadRegInteger(*store, "Settings ToolBars/MessageToolBar", "Visible", -1), 1);
    f_->Start();
    QCOMPARE(f_->Frame().toolBarArea(f_->Find<QToolBar>("FileToolBar")), Qt::RightToolBarArea);
  }

  void aFloatingToolbarComesBackFloatingWhereItWas() {
    StartWithNets();
    QVERIFY(QTest::qWaitForWindowExposed(&f_->Frame()));
    auto* bar = f_->Find<QToolBar>("MessageToolBar");
    // Dragged by its handle away from the docks, as the window system sends it.
    QWindow* window = f_->Frame().windowHandle();
    const QPoint handle = bar->mapTo(&f_->Frame(), QPoint(4, bar->height() / 2));
    QTest::mousePress(window, Qt::LeftButton, {}, handle);
    for (int step = 1; step <= 12; ++step) QTest::mouseMove(window, handle + QPoint(step * 4, step * 25));
    QTest::mouseRelease(window, Qt::LeftButton, {}, handle + QPoint(48, 300));
    QTRY_VERIFY(bar->isFloating());
    bar->move(bar->pos() + QPoint(30, 20));
    const QPoint floated_at = bar->pos();
    f_->Stop();
    auto store = f_->ReopenStore();
    QCOMPARE(ReadRegString(*store, "Settings ToolBars/MessageToolBar", "DockedTo", ""), std::string("nil"));
    QCOMPARE(ReadRegString(*store, "Settings ToolBars/FileToolBar", "DockedTo", ""), std::string("DockTop"));
    store.reset();
    f_->Start();
    bar = f_->Find<QToolBar>("MessageToolBar");
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->isFloating());
    QCOMPARE(bar->pos(), floated_at);
    QVERIFY(!f_->Find<QToolBar>("FileToolBar")->isFloating());
  }

  void versionDialogShowsAndClosesWithOk() {
    StartWithNets();
    QString title;
    bool has_picture = false;
    WhenModalShown([&](QWidget* dialog) {
      title = dialog->windowTitle();
      has_picture = dialog->findChild<QWidget*>("Image1") != nullptr;
      auto* ok = dialog->findChild<QPushButton*>("OKButton");
      QVERIFY(ok);
      QCOMPARE(ok->text(), QStringLiteral("OK"));
      ok->click();
    });
    f_->Trigger("AboutItem");
    QCOMPARE(title, QStringLiteral("Tobrisk Version 1.1"));
    QVERIFY(has_picture);
    QVERIFY(!f_->Frame().About()->isVisible());
  }

  void openDialogIsAskedWithTitleFilterAndLogDir() {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "WXYZ\tネットB\tじろう\tUPB"});
    {
      QtSettingsStore store;  // the fixture's INI: LogDir before the start
      store.Write(kSectionControl, "LogDir", "/var/logs");
      store.Flush();
    }
    f_->Start();
    f_->Chooser().file_answers.push_back({});  // cancelled
    f_->Trigger("FileOpenItem");
    QCOMPARE(f_->Chooser().requests.size(), size_t{1});
    const gui::OpenFilesRequest& r = f_->Chooser().requests[0];
    QCOMPARE(r.title, U("ログファイルを開く"));
    QVERIFY(r.multiple);
    QCOMPARE(r.directory, QStringLiteral("/var/logs"));
    QCOMPARE(r.name_filters.size(), 4);
    QVERIFY(r.name_filters[0].startsWith(U("ネットAログファイル(ABCD*.LOG) (")));
    QVERIFY(r.name_filters[1].startsWith(U("ネットBログファイル(WXYZ*.LOG) (")));
    QVERIFY(r.name_filters[2].startsWith(U("全てのログファイル(*.LOG) (")));
    QCOMPARE(r.name_filters[3], U("全てのファイル(*.*) (*)"));
    // Patterns match whatever case the terminal program gave the file.
    QVERIFY(r.name_filters[0].endsWith(QStringLiteral("([Aa][Bb][Cc][Dd]*.[Ll][Oo][Gg])")));
    QVERIFY(f_->BoxTexts().isEmpty());
  }

  void openingWithoutNetsIsRefusedBeforeTheDialog() {
    f_->Start();  // no NET.TDT: reported at start, the program goes on
    QCOMPARE(f_->BoxTexts(), QStringList({U("[NET.TDT] ファイルが見つかりませんでした。")}));
    f_->ClearBoxes();
    f_->Trigger("FileOpenItem");
    QCOMPARE(f_->BoxTexts(), QStringList({U("ネット設定を先に行って下さい。")}));
    QVERIFY(f_->Chooser().requests.empty());
    // Logs given on the command line or dropped are refused the same way.
    f_->ClearBoxes();
    f_->Frame().OpenLogFiles({QStringLiteral("ABCD0101.LOG")});
    QCOMPARE(f_->BoxTexts(), QStringList({U("ネット設定を先に行って下さい。")}));
  }

  void aFileNamedTmpIsReportedAndTheProgramGoesOn() {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA"});
    f_->Folder().Write("tmp", "not a folder");
    f_->Start();
    QCOMPARE(f_->Prompter().boxes.size(), size_t{1});
    QCOMPARE(f_->Prompter().boxes[0].kind, std::string("error"));
    QCOMPARE(f_->State().nets.Count(), 1);
    QCOMPARE(f_->Frame().BoardUserList()->SelectedNet(), -1);
    const QString log = WriteLog("ABCD0101.LOG", FrameCapture());
    f_->ClearBoxes();
    OpenThroughDialog({log});
    QVERIFY2(f_->BoxTexts().isEmpty(), qPrintable(f_->BoxTexts().join('|')));
    QCOMPARE(f_->State().messages.Size(), size_t{5});
  }

  void openingOneLogFillsBothWindows() {
    StartWithNets();
    f_->Folder().Write("ABCD.BRD", FrameBoardFile());
    const QString log = WriteLog("abcd1207.log", FrameCapture());
    OpenThroughDialog({log});
    QVERIFY2(f_->BoxTexts().isEmpty(), qPrintable(f_->BoxTexts().join('|')));
    QCOMPARE(f_->State().messages.Size(), size_t{5});
    QCOMPARE(f_->State().current_log_header, std::string("ABCD"));
    QCOMPARE(MessageTitle(), U("メッセージ [ abcd1207.log ]"));
    QVERIFY(NavigationEnabled());
    gui::TfrmBoardUserList* boards = f_->Frame().BoardUserList();
    QCOMPARE(boards->SelectedNet(), 0);
    QVERIFY(!boards->NetSelectionEnabled());
    QCOMPARE(boards->BoardGridView()->model()->rowCount(), 3);  // mail row + two boards
    QCOMPARE(f_->State().settings.default_net, 0);
    QVERIFY(!f_->Find<QProgressBar>("ProgressBar1")->isVisible());
    QVERIFY(f_->Find<QLabel>("ProgressLabel")->text().isEmpty());
    QCOMPARE(f_->State().settings.paths[0], log.toStdString());
    QCOMPARE(f_->Action("Path0")->text(), QStringLiteral("&0 : ") + log);
  }

  void theStatusPanelShowsEachLongStep() {
    StartWithNets();
    const QString log = WriteLog("ABCD0001.LOG", FrameCapture());
    auto* bar = f_->Find<QProgressBar>("ProgressBar1");
    auto* label = f_->Find<QLabel>("ProgressLabel");
    QStringList seen;
    bool bar_seen = false;
    QTimer watcher;  // runs whenever the pipeline lets the window process events
    connect(&watcher, &QTimer::timeout, this, [&] {
      bar_seen = bar_seen || !bar->isHidden();
      if (!label->text().isEmpty() && !seen.contains(label->text())) seen << label->text();
    });
    watcher.start(0);
    OpenThroughDialog({log});
    watcher.stop();
    QVERIFY(bar_seen);
    QCOMPARE(seen, QStringList({U("エスケープシーケンスカット中..."), U("ログファイル読み込み中..."),
                                U("メッセージソート中...")}));
    QVERIFY(bar->isHidden());
    QVERIFY(label->text().isEmpty());
  }

  void severalLogsOfOneNetOpenTogether() {
    StartWithNets();
    const QString a = WriteLog("abcd0101.log", FrameCapture());
    const QString b = WriteLog("ABCD0102.LOG", FrameCapture());
    OpenThroughDialog({a, b});
    QVERIFY2(f_->BoxTexts().isEmpty(), qPrintable(f_->BoxTexts().join('|')));
    QCOMPARE(f_->State().messages.Size(), size_t{10});
    QCOMPARE(MessageTitle(), U("メッセージ [ abcd0101.log ABCD0102.LOG ]"));
    // Only the first file enters the recent list.
    QCOMPARE(f_->State().settings.paths[0], a.toStdString());
    QVERIFY(f_->State().settings.paths[1].empty());

    // Logs of two nets are refused and change nothing.
    const QString w = WriteLog("WXYZ0101.LOG", FrameCapture());
    OpenThroughDialog({a, w});
    QCOMPARE(f_->BoxTexts(), QStringList({U("全て同じネットのログファイルを選択して下さい。")}));
    QCOMPARE(f_->State().messages.Size(), size_t{10});
    QCOMPARE(MessageTitle(), U("メッセージ [ abcd0101.log ABCD0102.LOG ]"));
  }

  void generatedCapturesOpenFromTheCommandLineAndDrops() {
    StartWithNets();
    WriteGeneratedLog("ABCD0201.LOG", 7);
    WriteGeneratedLog("ABCD0202.LOG", 8);
    // Relative paths, as a shell gives them, are taken from the current folder.
    f_->Frame().OpenLogFiles({QStringLiteral("ABCD0201.LOG"), QStringLiteral("ABCD0202.LOG")});
    QVERIFY2(f_->BoxTexts().isEmpty(), qPrintable(f_->BoxTexts().join('|')));
    QVERIFY(f_->State().messages.Size() > 40);
    QVERIFY(NavigationEnabled());
    QCOMPARE(QString::fromStdString(f_->State().settings.paths[0]),
             QString::fromStdString(f_->Folder().Path("ABCD0201.LOG")));
  }

  void aLongListsTreeIsWholeForTheUsersFirstClick() {
    StartWithNets();
    WriteGeneratedLog("ABCD0201.LOG", 9);
    // Long enough here to be shown with its first board before the rest is built.
    f_->State().tree_options = {.parallel_from = 2, .first_step_nodes = 1};
    f_->Frame().OpenLogFiles({QStringLiteral("ABCD0201.LOG")});
    const auto whole = static_cast<int>(tobrisk::BuildMessageTree(f_->State().messages).Size());
    auto* tree = f_->Frame().findChild<QAbstractItemView*>("LogMessageTreeView");
    QVERIFY(f_->State().message_tree_rest != nullptr);
    QVERIFY(tree->model()->rowCount() < whole);
    // The user's first click finds the tree whole, and End its last node.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(tree->model()->index(0, 0)).center());
    QVERIFY(f_->State().message_tree_rest == nullptr);
    QCOMPARE(tree->model()->rowCount(), whole);
    QTest::keyClick(tree, Qt::Key_End);
    QCOMPARE(tree->currentIndex().row(), whole - 1);
    // Without the user, the tree is whole as soon as its rest is built.
    f_->Frame().OpenLogFiles({QStringLiteral("ABCD0201.LOG")});
    QTRY_VERIFY(f_->State().message_tree_rest == nullptr);
    QCOMPARE(tree->model()->rowCount(), whole);
  }

  void importRebuildsTheListsOfTheCapturesNet() {
    StartWithNets();
    BoardCaptureOptions o;
    o.ibbs_list = false;
    o.bbs_boards = 6;
    o.members = 4;
    const BoardCapture capture = GenerateBoardCapture(o);
    const QString file = WriteLog("WXYZLIST.LOG", capture.bytes);
    f_->Chooser().file_answers.push_back({});  // cancelled: nothing happens
    f_->Trigger("ImportItem");
    QVERIFY(f_->BoxTexts().isEmpty());
    f_->Chooser().file_answers.push_back({file});
    f_->Trigger("ImportItem");
    QCOMPARE(f_->Chooser().requests.back().title, U("ボード・ユーザ情報取得"));
    QCOMPARE(f_->BoxTexts(), QStringList({U("ボード情報を更新しました。\r\nユーザ情報を更新しました。")}));
    QCOMPARE(f_->Frame().BoardUserList()->SelectedNet(), 1);
    QCOMPARE(f_->Frame().BoardUserList()->BoardGridView()->model()->rowCount(), 7);  // mail row + six boards
    QCOMPARE(f_->Frame().BoardUserList()->UserGridView()->model()->rowCount(), 4);
    QCOMPARE(f_->Folder().Read("WXYZ.BRD"), BoardFileText(ExpectedBoards(capture, 0)));
    // With no log shown the capture's net is the window's net, for writing too.
    QCOMPARE(f_->State().settings.default_net, 1);
    QVERIFY(f_->Frame().BoardUserList()->NetSelectionEnabled());
  }

  void droppedLogsOpenAsFromTheDialog() {
    StartWithNets();
    const QString a = WriteLog("ABCD0301.LOG", FrameCapture());
    const QString b = WriteLog("ABCD0302.LOG", FrameCapture());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f_->Frame(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&f_->Frame(), &drop);
    QTRY_COMPARE(f_->State().messages.Size(), size_t{10});
    QCOMPARE(MessageTitle(), U("メッセージ [ ABCD0301.LOG ABCD0302.LOG ]"));
    QVERIFY(f_->Chooser().requests.empty());

    // Anything but local files is not taken.
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/ABCD0303.LOG"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(&f_->Frame(), &refused);
    QVERIFY(!refused.isAccepted());
  }

  void propertiesDialogShowsAndTheNetChooserFollowsTheNets() {
    StartWithNets();
    QCOMPARE(f_->Frame().BoardUserList()->findChild<QComboBox*>("ComboBox1")->count(), 2);
    // NET.TDT changed behind the program's back: the dialog reloads it.
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "WXYZ\tネットB\tじろう\tUPB", "QQQQ\tネットQ\tさぶ\tUPQ"});
    QString title;
    WhenModalShown([&](QWidget* dialog) {
      title = dialog->windowTitle();
      static_cast<QDialog*>(dialog)->reject();
    });
    f_->Trigger("PropertyButton");
    QCOMPARE(title, U("プロパティー"));
    auto* nets = f_->Frame().BoardUserList()->findChild<QComboBox*>("ComboBox1");
    QCOMPARE(nets->count(), 3);
    QCOMPARE(nets->itemText(2), U("ネットQ"));
    QCOMPARE(f_->Frame().OpenDialogFilters().size(), 5);
  }

  void recentListKeepsTheOrderAndTenSlots() {
    StartWithNets();
    auto* recent = f_->Find<QMenu>("RecentLogMenu");
    QCOMPARE(Captions(recent), QStringList({U("(なし)")}));
    QVERIFY(!recent->actions()[0]->isEnabled());

    const QString a = WriteLog("ABCD0001.LOG", FrameCapture());
    const QString b = WriteLog("ABCD0002.LOG", FrameCapture());
    OpenThroughDialog({a});
    OpenThroughDialog({a});  // the same log again changes nothing
    QVERIFY(f_->State().settings.paths[1].empty());
    OpenThroughDialog({b});
    OpenThroughDialog({a});
    const auto& paths = f_->State().settings.paths;
    QCOMPARE(paths[0], a.toStdString());
    QCOMPARE(paths[1], b.toStdString());
    QCOMPARE(paths[2], a.toStdString());
    QCOMPARE(Captions(recent), QStringList({"&0 : " + a, "&1 : " + b, "&2 : " + a}));

    // A recent item reopens its log without the dialog.
    f_->Action("Path1")->trigger();
    QCOMPARE(MessageTitle(), U("メッセージ [ ABCD0002.LOG ]"));
    QCOMPARE(f_->State().settings.paths[0], b.toStdString());
    QVERIFY(f_->Chooser().requests.size() == 4);

    // Eleven different logs keep the last ten, newest first; the next start shows them.
    for (int i = 0; i < 11; ++i) {
      const QString log = WriteLog("ABCD1" + std::to_string(100 + i) + ".LOG", FrameCapture());
      OpenThroughDialog({log});
    }
    for (int i = 0; i < 10; ++i) {
      QCOMPARE(QString::fromStdString(f_->State().settings.paths[static_cast<size_t>(i)]),
               QString::fromStdString(f_->Folder().Path("ABCD1" + std::to_string(110 - i) + ".LOG")));
    }
    QVERIFY(f_->BoxTexts().isEmpty());
    f_->Stop();
    f_->Start();
    QCOMPARE(Captions(f_->Find<QMenu>("RecentLogMenu")).size(), 10);
    QCOMPARE(f_->Action("Path9")->text(),
             QStringLiteral("&9 : ") + QString::fromStdString(f_->Folder().Path("ABCD1101.LOG")));
  }

  void aRecentLogThatIsGoneIsReportedAndRemoved() {
    StartWithNets();
    const QString a = WriteLog("ABCD0001.LOG", FrameCapture());
    const QString b = WriteLog("ABCD0002.LOG", FrameCapture());
    OpenThroughDialog({a});
    OpenThroughDialog({b});
    QFile::remove(a);
    f_->Action("Path1")->trigger();
    QCOMPARE(f_->BoxTexts(),
             QStringList({U("ログファイル[") + a + U("]が見つかりません。\n過去に読んだLOGの一覧から削除します。")}));
    QVERIFY(!f_->Find<QProgressBar>("ProgressBar1")->isVisible());
    // The log shown stays as it was; the entry is gone, now and at the next start.
    QCOMPARE(MessageTitle(), U("メッセージ [ ABCD0002.LOG ]"));
    QCOMPARE(f_->State().messages.Size(), size_t{5});
    QVERIFY(NavigationEnabled());
    QCOMPARE(Captions(f_->Find<QMenu>("RecentLogMenu")), QStringList({"&0 : " + b}));
    f_->Stop();
    f_->Start();
    QCOMPARE(f_->State().settings.paths[0], b.toStdString());
    QVERIFY(f_->State().settings.paths[1].empty());
  }

  void logsOfAnotherNetWaitForTheUpText() {
    StartWithNets();
    const QString a = WriteLog("ABCD0001.LOG", FrameCapture());
    const QString a2 = WriteLog("ABCD0002.LOG", FrameCapture());
    const QString w = WriteLog("WXYZ0001.LOG", FrameCapture());
    OpenThroughDialog({a});
    f_->State().pending_count = 1;  // a message written offline and not yet output
    OpenThroughDialog({a2});
    QVERIFY(f_->BoxTexts().isEmpty());
    QCOMPARE(MessageTitle(), U("メッセージ [ ABCD0002.LOG ]"));
    OpenThroughDialog({w});
    QCOMPARE(f_->BoxTexts(), QStringList({U("現在書き込み中のネット以外のログファイルは読み込み出来ません。\n"
                                            "アップファイルを出力後、読み込みを行って下さい。")}));
    QCOMPARE(MessageTitle(), U("メッセージ [ ABCD0002.LOG ]"));
    QCOMPARE(f_->Frame().BoardUserList()->SelectedNet(), 0);
    f_->State().pending_count = 0;
  }

  void aLogWithoutMessagesIsReportedAndStillRemembered() {
    StartWithNets();
    const QString a = WriteLog("ABCD0001.LOG", FrameCapture());
    const QString empty = WriteLog("WXYZ0001.LOG", FrameCaptureWithoutMessages());
    OpenThroughDialog({a});
    QVERIFY(NavigationEnabled());
    OpenThroughDialog({empty});
    QCOMPARE(f_->BoxTexts(), QStringList({U("読み込んだログにメッセージは有りませんでした。")}));
    QCOMPARE(MessageTitle(), U("メッセージ"));
    QVERIFY(NavigationDisabled());
    QCOMPARE(f_->Frame().BoardUserList()->SelectedNet(), 1);
    QVERIFY(f_->Frame().BoardUserList()->NetSelectionEnabled());
    QCOMPARE(f_->State().settings.paths[0], empty.toStdString());
    QVERIFY(!f_->Find<QProgressBar>("ProgressBar1")->isVisible());
    QVERIFY(f_->Find<QLabel>("ProgressLabel")->text().isEmpty());
  }

  void aHeaderWithoutNetIsReported() {
    StartWithNets();
    const QString a = WriteLog("ABCD0001.LOG", FrameCapture());
    const QString z = WriteLog("ZZZZ0001.LOG", FrameCapture());
    OpenThroughDialog({a});
    OpenThroughDialog({z});
    QCOMPARE(f_->BoxTexts(), QStringList({U("ログファイルヘッダ [ZZZZ] はネット設定がされていません。\n"
                                            "ログファイルヘッダは必ず４文字で設定して下さい。")}));
    QCOMPARE(MessageTitle(), U("メッセージ"));
    QVERIFY(!f_->Find<QProgressBar>("ProgressBar1")->isVisible());
    QVERIFY(f_->Find<QLabel>("ProgressLabel")->text().isEmpty());
    QCOMPARE(f_->State().settings.paths[0], a.toStdString());  // not remembered
    // The window shows that nothing is loaded: no count, no text, nothing to
    // navigate, and the board window's net may be chosen again.
    gui::TfrmLogMessage* messages = f_->Frame().LogMessage();
    QCOMPARE(messages->findChild<QLabel*>("AllPanel")->text(), QStringLiteral("0"));
    QCOMPARE(messages->findChild<QLabel*>("NowPanel")->text(), QStringLiteral("0"));
    QVERIFY(messages->findChild<QPlainTextEdit*>("Memo1")->toPlainText().isEmpty());
    QVERIFY(NavigationDisabled());
    QVERIFY(f_->Frame().BoardUserList()->NetSelectionEnabled());
  }

  void fileNamesShowAsTheFileSystemNamesThem() {
    StartWithNets();
    const QString log = WriteLog("ABCD日本語.LOG", FrameCapture());
    OpenThroughDialog({log});
    QCOMPARE(MessageTitle(), U("メッセージ [ ABCD日本語.LOG ]"));
    QCOMPARE(f_->Action("Path0")->text(), QStringLiteral("&0 : ") + log);
    emit f_->Find<QMenu>("WindowMenu")->aboutToShow();
    QCOMPARE(f_->Action("WindowListItem2")->text(), U("&2 メッセージ [ ABCD日本語.LOG ]"));
    // A name in Shift-JIS, as old archives unpack, given as the program's argument.
    const std::string sjis_name = "ABCD" + Sjis("日本") + ".LOG";
    WriteLog(sjis_name, FrameCapture());
    f_->Frame().OpenLogPaths({sjis_name});
    QVERIFY2(f_->BoxTexts().isEmpty(), qPrintable(f_->BoxTexts().join('|')));
    QCOMPARE(f_->State().settings.paths[0], f_->Folder().Path(sjis_name));
  }

  void aReadMarkFileThatCannotBeWrittenAsksBeforeClosing() {
    StartWithNets();
    OpenThroughDialog({WriteLog("ABCD0001.LOG", FrameCapture())});
    size_t board_message = 0;
    while (f_->State().messages[board_message].IsMail()) ++board_message;
    SetReadMark(f_->State(), board_message, Sjis("★"));
    QVERIFY(QDir().mkdir(QString::fromStdString(f_->Folder().Path("ABCD.RAD"))));  // no file can go there
    const QString question = U("既読情報を保存出来ませんでした。\n今回の既読の変更を保存せずに終了しますか？");
    f_->Prompter().answers.push_back(Answer::No);
    QVERIFY(!f_->Frame().close());
    QCOMPARE(f_->Prompter().boxes.size(), size_t{2});
    QCOMPARE(f_->Prompter().boxes[0].kind, std::string("error"));
    QCOMPARE(f_->BoxTexts()[1], question);
    f_->ClearBoxes();
    f_->Prompter().answers.push_back(Answer::Yes);
    QVERIFY(f_->Frame().close());
    QCOMPARE(f_->BoxTexts().size(), 2);
  }

  void closingSavesTheReadMarksOfTheOpenNet() {
    StartWithNets();
    const QString a = WriteLog("ABCD0001.LOG", FrameCapture());
    OpenThroughDialog({a});
    size_t board_message = 0;
    while (f_->State().messages[board_message].IsMail()) ++board_message;
    SetReadMark(f_->State(), board_message, Sjis("★"));
    QVERIFY(!QFile::exists(QString::fromStdString(f_->Folder().Path("ABCD.RAD"))));
    f_->Stop();
    const std::string rad = f_->Folder().Read("ABCD.RAD");
    QVERIFY2(rad.find(Sjis("★")) != std::string::npos, rad.c_str());
    QVERIFY(!QFile::exists(QString::fromStdString(f_->Folder().Path("WXYZ.RAD"))));
  }

  void pendingMessagesKeepTheProgramOpenWhenTheOutputFails() {
    StartWithNets();
    int asked = 0;
    bool output_completes = false;
    gui::MainFrameHooks hooks;
    hooks.output_pending_at_close = [&] {
      ++asked;
      return output_completes;
    };
    f_->Frame().SetHooks(hooks);
    f_->State().pending_count = 1;
    QVERIFY(!f_->Frame().close());
    QCOMPARE(asked, 1);
    QVERIFY(f_->Frame().isVisible());
    output_completes = true;
    QVERIFY(f_->Frame().close());
    QCOMPARE(asked, 2);
    f_->State().pending_count = 0;
  }

  void windowCommandsMoveTheDocumentWindows() {
    StartWithNets();
    gui::TfrmMain& m = f_->Frame();
    QMdiSubWindow* boards = m.BoardUserListWindow();
    QMdiSubWindow* messages = m.LogMessageWindow();
    boards->move(40, 50);
    boards->resize(300, 200);
    f_->Trigger("DefaultSizeItem");
    QCOMPARE(boards->size(), QSize(219, 476));
    QCOMPARE(messages->size(), QSize(570, 476));
    f_->Trigger("DefaultPositionItem");
    QCOMPARE(boards->pos(), QPoint(1, 1));
    QCOMPARE(messages->pos(), QPoint(1 + 219, 1));

    f_->Trigger("MinimizeAllItem");
    QTRY_VERIFY(boards->isMinimized() && messages->isMinimized());
    f_->Trigger("ArrangeIconsItem");
    QVERIFY(boards->y() + boards->height() <= m.MdiArea()->viewport()->height());
    // Closing a document window only minimizes it: it lives as long as the frame.
    messages->showNormal();
    messages->close();
    QVERIFY(messages->isMinimized());
    QVERIFY(m.MdiArea()->subWindowList().contains(messages));
    emit f_->Find<QMenu>("WindowMenu")->aboutToShow();
    f_->Trigger("WindowListItem2");
    QVERIFY(!messages->isMinimized());
    f_->Trigger("CascadeItem");
    f_->Trigger("TileItem");
    QCOMPARE(m.MdiArea()->subWindowList().size(), 2);
  }

  void placementOfTheWindowsSurvivesARestart() {
    StartWithNets();
    QTRY_VERIFY(DocumentsPlaced());
    f_->Frame().resize(900, 650);
    f_->Frame().BoardUserListWindow()->move(7, 9);
    f_->Frame().LogMessageWindow()->resize(500, 300);
    f_->Stop();
    f_->Start();
    QTRY_VERIFY(DocumentsPlaced());
    QCOMPARE(f_->Frame().size(), QSize(900, 650));
    QCOMPARE(f_->Frame().BoardUserListWindow()->pos(), QPoint(7, 9));
    QCOMPARE(f_->Frame().LogMessageWindow()->size(), QSize(500, 300));

    // The message window comes back minimized, the board/user window maximized.
    f_->Frame().LogMessageWindow()->showMinimized();
    f_->Frame().BoardUserListWindow()->showMaximized();
    QVERIFY(f_->Frame().LogMessageWindow()->isMinimized());
    f_->Stop();
    f_->Start();
    QTRY_VERIFY(DocumentsPlaced());
    QVERIFY(f_->Frame().LogMessageWindow()->isMinimized());
    QVERIFY(f_->Frame().BoardUserListWindow()->isMaximized());
    f_->Frame().BoardUserListWindow()->showNormal();
    QCOMPARE(f_->Frame().BoardUserListWindow()->pos(), QPoint(7, 9));
    // Restored, the message window has the size it had before it was minimized.
    f_->Frame().LogMessageWindow()->showNormal();
    QCOMPARE(f_->Frame().LogMessageWindow()->size(), QSize(500, 300));

    // A place on a screen that is no longer there is not taken.
    f_->Stop();
    {
      QtSettingsStore store;
      WriteRegInteger(store, FormSection("TfrmMain"), "Left", 50000);
      WriteRegInteger(store, FormSection("TfrmMain"), "Top", 50000);
      store.Flush();
    }
    f_->Start();
    QVERIFY(f_->Frame().x() < 50000);
    QCOMPARE(f_->Frame().size(), QSize(900, 650));
  }

  void commandLineHelpDescribesUsage() {
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tobrisk");
    if (!QFileInfo::exists(program)) QSKIP("the program is not built next to the tests");
    QProcess help;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // --help needs no display at all
    help.setProcessEnvironment(env);
    help.start(program, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    const QString usage = QString::fromUtf8(help.readAllStandardOutput());
    QVERIFY(usage.startsWith(QStringLiteral("Usage: tobrisk [OPTION]... [FILE]...")));
    QVERIFY(usage.contains(QStringLiteral("work folder")));

    QProcess wrong;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    wrong.setProcessEnvironment(env);
    wrong.start(program, {QStringLiteral("--no-such-option")});
    QVERIFY(wrong.waitForFinished(10000));
    QCOMPARE(wrong.exitCode(), 2);
    QVERIFY(
        QString::fromUtf8(wrong.readAllStandardError()).contains(QStringLiteral("unknown option --no-such-option")));
  }

  void progressPumpsRarelyAndShowsTheLastPosition() {
    QProgressBar bar;
    QLabel label;
    gui::GuiProgress progress(&bar, &label);
    progress.Show();
    QVERIFY(bar.isVisibleTo(nullptr) || !bar.isHidden());
    progress.SetLabel(Sjis("ログファイル読み込み中..."));
    QCOMPARE(label.text(), U("ログファイル読み込み中..."));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000000; ++i) progress.Step(i / 10000);
    // A million per-line calls cost far less than the lines themselves would.
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QTest::qWait(2 * gui::GuiProgress::kPumpIntervalMs);
    progress.Step(100);
    QCOMPARE(bar.value(), 100);
    progress.SetLabel("");
    progress.Hide();
    QVERIFY(bar.isHidden());
    QVERIFY(label.text().isEmpty());
  }
};

QTEST_MAIN(TestMainFrame)
#include "test_main_frame.moc"
