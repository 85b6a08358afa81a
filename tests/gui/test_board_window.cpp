// The board/user window and the board chooser on the real main frame: the net
// chooser loading each net's files, the grids' rows, the double click that
// filters the message window, the pop-up conditions and the chooser's result.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include "gui/boards/TfrmBoardUserList.h"
#include "gui/boards/TfrmSelectMoveBoard.h"
#include "board_capture_generator.h"
#include "capture_generator.h"
#include "helpers/gui_fixture.h"
#include "helpers/gui_text.h"
#include "gui/reading/TfrmLogMessage.h"
#include "core/settings/app_settings.h"
#include "core/text/sjis.h"

using namespace tobrisk;
using namespace tobrisk::testing;

namespace {

QString Cell(const QTableView* grid, int row, int column) {
  return grid->model()->index(row, column).data().toString();
}

std::string ThreeBoards() {
  return "1\t7\tBBS\t" + PadRight(Sjis("旅行"), 20) + "\r\n" + "2\t35\tLBBS\t" + PadRight(Sjis("全国ネット"), 20) +
         "\r\n" + "3\t9\tCUG\t" + PadRight(Sjis("映画"), 20) + "\r\n";
}

std::string TwoUsers() {
  return "1\t123\t" + PadRight(Sjis("はなこ"), 16) + "\r\n" + "2\t7\t" + PadRight(Sjis("たろう"), 16) + "\r\n";
}

}  // namespace

class TestBoardWindow : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainFrameFixture> f_;

  gui::TfrmBoardUserList* Window() { return f_->Frame().BoardUserList(); }
  QTableView* BoardGrid() { return Window()->findChild<QTableView*>("BoardGrid"); }
  QTableView* UserGrid() { return Window()->findChild<QTableView*>("UserGrid"); }
  QComboBox* Nets() { return Window()->findChild<QComboBox*>("ComboBox1"); }
  void ChooseNet(int index) {
    Nets()->setCurrentIndex(index);
    emit Nets()->activated(index);
  }
  void SelectRow(QTableView* grid, int row) { grid->setCurrentIndex(grid->model()->index(row, 1)); }
  // The grid's own double-click signal on a selected row.
  static void DoubleClickRow(QTableView* grid, int row) {
    const QModelIndex index = grid->model()->index(row, 1);
    grid->setCurrentIndex(index);
    emit grid->doubleClicked(index);
  }
  // Opens the properties dialog, lets `edit` work on it and closes it with OK or Cancel.
  void EditNets(const std::function<void(QDialog*)>& edit, bool ok) {
    WhenModalShown([&](QWidget* modal) {
      auto* dialog = qobject_cast<QDialog*>(modal);
      QVERIFY(dialog);
      edit(dialog);
      dialog->findChild<QPushButton*>(ok ? "OkButton" : "CancelButton")->click();
    });
    f_->Trigger("PropertyItem");
    QVERIFY(!QApplication::activeModalWidget());
  }
  // The node of net `net` in the dialog's tree ("ネット設定" > "ネット名称" > net).
  static QTreeWidgetItem* NetNode(QDialog* dialog, int net) {
    auto* tree = dialog->findChild<QTreeWidget*>("SettingTree");
    return tree->topLevelItem(0)->child(0)->child(net);
  }
  static void DeleteNet(QDialog* dialog, int net) {
    dialog->findChild<QTreeWidget*>("SettingTree")->setCurrentItem(NetNode(dialog, net));
    dialog->findChild<QAction*>("DeleteNetItem")->trigger();
  }
  QStringList NetEntries() {
    QStringList names;
    for (int i = 0; i < Nets()->count(); ++i) names << Nets()->itemText(i);
    return names;
  }
  // Two nets: ABCD with three boards and two members, WXYZ with FrameBoardFile and no member file.
  void StartWithTwoNets(int default_net) {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "WXYZ\tネットB\tじろう\tUPB"});
    f_->Folder().Write("ABCD.BRD", ThreeBoards());
    f_->Folder().Write("ABCD.USR", TwoUsers());
    f_->Folder().Write("WXYZ.BRD", FrameBoardFile());
    {
      QtSettingsStore store;
      WriteRegInteger(store, kSectionNet, "DefaultNet", default_net);
      store.Flush();
    }
    f_->Start();
  }

 private slots:
  void init() { f_ = std::make_unique<MainFrameFixture>(); }
  void cleanup() {
    f_.reset();
    CloseAllWindows();
  }

  void creationSelectsDefaultNetAndLoadsItsLists() {
    StartWithTwoNets(0);
    QCOMPARE(Window()->windowTitle(), U("ボード・ユーザ一覧"));
    QCOMPARE(Nets()->count(), 2);
    QCOMPARE(Nets()->itemText(0), U("ネットA"));
    QCOMPARE(Nets()->itemText(1), U("ネットB"));
    QCOMPARE(Nets()->currentIndex(), 0);
    QTableView* boards = BoardGrid();
    QVERIFY(boards->isColumnHidden(0));
    QCOMPARE(boards->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Type"));
    QCOMPARE(boards->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("No"));
    QCOMPARE(boards->model()->headerData(3, Qt::Horizontal).toString(), U("ボード名"));
    QCOMPARE(boards->model()->rowCount(), 4);
    QCOMPARE(Cell(boards, 0, 0), QStringLiteral("0"));
    QCOMPARE(Cell(boards, 0, 1), QStringLiteral("MAIL"));
    QCOMPARE(Cell(boards, 0, 2), QStringLiteral("M"));
    QCOMPARE(Cell(boards, 0, 3), U("新着メール"));
    QCOMPARE(Cell(boards, 2, 1), QStringLiteral("LBBS"));
    QCOMPARE(Cell(boards, 2, 3), U("全国ネット"));                                 // shown without the padding
    QCOMPARE(f_->State().boards[1].board_name, PadRight(Sjis("全国ネット"), 20));  // kept as the host shows it
    QTableView* users = UserGrid();
    QCOMPARE(users->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(users->model()->headerData(2, Qt::Horizontal).toString(), U("ハンドル名"));
    QCOMPARE(users->model()->rowCount(), 2);
    QCOMPARE(Cell(users, 1, 1), QStringLiteral("7"));
  }

  void choosingANetLoadsItsFilesAndSavesDefaultNet() {
    StartWithTwoNets(0);
    ChooseNet(1);
    QCOMPARE(BoardGrid()->model()->rowCount(), 3);  // mail row + two boards
    QCOMPARE(Cell(BoardGrid(), 1, 3), U("雑談ボード"));
    // No member file: one empty row.
    QCOMPARE(UserGrid()->model()->rowCount(), 1);
    QVERIFY(Cell(UserGrid(), 0, 0).isEmpty());
    QCOMPARE(f_->State().settings.default_net, 1);
    QCOMPARE(ReadRegInteger(*f_->ReopenStore(), kSectionNet, "DefaultNet", -1), 1);
    QVERIFY(f_->BoxTexts().isEmpty());

    // The next start selects that net.
    f_->Stop();
    f_->Start();
    QCOMPARE(Nets()->currentIndex(), 1);
    QCOMPARE(BoardGrid()->model()->rowCount(), 3);
  }

  void aNetWithoutBoardFileShowsOneEmptyRowWithoutTheMailRow() {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "QQQQ\tネットQ\tたろう\tUPQ"});
    f_->Folder().Write("ABCD.BRD", ThreeBoards());
    f_->Start();
    QCOMPARE(Nets()->currentIndex(), -1);  // DefaultNet -1: nothing chosen yet
    QCOMPARE(BoardGrid()->model()->rowCount(), 1);
    ChooseNet(0);
    QCOMPARE(BoardGrid()->model()->rowCount(), 4);
    ChooseNet(1);
    QCOMPARE(BoardGrid()->model()->rowCount(), 1);
    QVERIFY(Cell(BoardGrid(), 0, 1).isEmpty());
    QVERIFY(f_->State().boards.empty());
  }

  void brokenBoardFilesLoadWithoutHarm() {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA"});
    std::string junk = "x\r\n\t\t\t\t\t\r\n" + std::string("\x81\xff\x00\x82", 4) + "\r\n\x1a tail";
    f_->Folder().Write("ABCD.BRD", junk);
    f_->Folder().Write("ABCD.USR", junk);
    {
      QtSettingsStore store;
      WriteRegInteger(store, kSectionNet, "DefaultNet", 0);
      store.Flush();
    }
    f_->Start();
    const int rows = BoardGrid()->model()->rowCount();
    QCOMPARE(rows, static_cast<int>(f_->State().boards.size()) + 1);
    for (int r = 0; r < rows; ++r) SelectRow(BoardGrid(), r), Window()->KW1Click();  // junk numbers are ignored
    QVERIFY(f_->Prompter().boxes.empty());
  }

  void doubleClickFiltersTheMessageWindow() {
    StartWithTwoNets(0);
    // Nothing is listed while no log is open.
    DoubleClickRow(BoardGrid(), 1);
    auto* all = f_->Frame().LogMessage()->findChild<QLabel*>("AllPanel");
    auto* board_name = f_->Frame().LogMessage()->findChild<QLabel*>("BoardNamePanel");
    QVERIFY(all && board_name);
    QVERIFY(board_name->text().isEmpty());

    f_->Folder().Write("WXYZ1207.LOG", FrameCapture());
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path("WXYZ1207.LOG"))});
    f_->Trigger("FileOpenItem");
    QCOMPARE(f_->State().messages.Size(), size_t{5});
    QCOMPARE(Nets()->currentIndex(), 1);
    QVERIFY(!Nets()->isEnabled());

    DoubleClickRow(BoardGrid(), 1);  // BBS 1
    QTRY_COMPARE(board_name->text(), U("雑談ボード"));
    QCOMPARE(all->text(), QStringLiteral("2"));
    DoubleClickRow(BoardGrid(), 0);  // the mail row
    QTRY_COMPARE(board_name->text(), U("新着メール"));
    QCOMPARE(all->text(), QStringLiteral("2"));
    DoubleClickRow(BoardGrid(), 2);  // CUG 3
    QTRY_COMPARE(board_name->text(), U("プログラム同好会"));
    QCOMPARE(all->text(), QStringLiteral("1"));
  }

  void popUpsOpenOnlyForRowsTheyCanWriteTo() {
    StartWithTwoNets(0);
    auto* board_menu = Window()->findChild<QMenu*>("BoardPopupMenu");
    auto* user_menu = Window()->findChild<QMenu*>("UserPopupMenu");
    QCOMPARE(Window()->findChild<QAction*>("KW1")->text(), U("新規書き込み(&W)"));
    QCOMPARE(Window()->findChild<QAction*>("K1")->text(), U("新規メール書き込み(&M)"));
    QSignalSpy new_message(Window(), &gui::TfrmBoardUserList::NewMessageRequested);
    QSignalSpy new_mail(Window(), &gui::TfrmBoardUserList::NewMailRequested);

    SelectRow(BoardGrid(), 0);  // the mail row
    emit BoardGrid()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!board_menu->isVisible());
    SelectRow(BoardGrid(), 3);
    emit BoardGrid()->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY(board_menu->isVisible());
    board_menu->close();
    Window()->findChild<QAction*>("KW1")->trigger();
    QCOMPARE(new_message.size(), 1);
    QCOMPARE(new_message[0][0].toInt(), 3);

    SelectRow(UserGrid(), 1);
    emit UserGrid()->customContextMenuRequested(QPoint(5, 5));
    QTRY_VERIFY(user_menu->isVisible());
    user_menu->close();
    Window()->findChild<QAction*>("K1")->trigger();
    QCOMPARE(new_mail.size(), 1);
    QCOMPARE(new_mail[0][0].toInt(), 2);

    // An empty user grid opens nothing.
    ChooseNet(1);
    SelectRow(UserGrid(), 0);
    emit UserGrid()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!user_menu->isVisible());
  }

  void chooserAndGridsStayInStepThroughTheProperties() {
    StartWithTwoNets(0);
    // With no log shown, an import of net B's capture makes it the net written for.
    BoardCaptureOptions o;
    o.ibbs_list = false;
    o.bbs_boards = 3;
    o.members = 2;
    f_->Folder().Write("WXYZLIST.LOG", GenerateBoardCapture(o).bytes);
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path("WXYZLIST.LOG"))});
    f_->Trigger("ImportItem");
    QCOMPARE(Window()->SelectedNet(), 1);
    QCOMPARE(BoardGrid()->model()->rowCount(), 4);
    QCOMPARE(f_->State().settings.default_net, 1);
    const QString first_board = Cell(BoardGrid(), 1, 3);

    // OK without changes: the chooser stays on the net the grids show.
    EditNets([](QDialog*) {}, true);
    QCOMPARE(NetEntries(), QStringList({U("ネットA"), U("ネットB")}));
    QCOMPARE(Nets()->currentText(), U("ネットB"));
    QCOMPARE(BoardGrid()->model()->rowCount(), 4);

    // A cancelled deletion leaves the nets as saved.
    EditNets([](QDialog* d) { DeleteNet(d, 0); }, false);
    QCOMPARE(NetEntries(), QStringList({U("ネットA"), U("ネットB")}));
    QCOMPARE(Nets()->currentText(), U("ネットB"));
    QCOMPARE(f_->State().nets.Count(), 2);
    QCOMPARE(f_->State().settings.default_net, 1);

    // A confirmed one moves net B up; the grids still show it.
    EditNets([](QDialog* d) { DeleteNet(d, 0); }, true);
    QCOMPARE(NetEntries(), QStringList({U("ネットB")}));
    QCOMPARE(Window()->SelectedNet(), 0);
    QCOMPARE(Cell(BoardGrid(), 1, 3), first_board);
    QCOMPARE(BoardGrid()->model()->rowCount(), 4);

    // Net B takes net A's log header: the grids show the lists of that header.
    EditNets(
        [](QDialog* d) {
          d->findChild<QTreeWidget*>("SettingTree")->setCurrentItem(NetNode(d, 0)->child(0));
          auto* edit = d->findChild<QLineEdit*>("LogHeaderEdit");
          edit->selectAll();
          QTest::keyClicks(edit, "ABCD");
        },
        true);
    QCOMPARE(Nets()->currentText(), U("ネットB"));
    QCOMPARE(Cell(BoardGrid(), 1, 3), U("旅行"));
    QCOMPARE(UserGrid()->model()->rowCount(), 2);

    // The net shown is deleted: nothing chosen, nothing listed.
    EditNets([](QDialog* d) { DeleteNet(d, 0); }, true);
    QCOMPARE(Nets()->count(), 0);
    QCOMPARE(Window()->SelectedNet(), -1);
    QCOMPARE(BoardGrid()->model()->rowCount(), 1);
    QVERIFY(Cell(BoardGrid(), 0, 0).isEmpty());
    QVERIFY(f_->State().boards.empty() && f_->State().users.empty());
  }

  void netsWithoutLogHeaderAreNotOffered() {
    // A blank line and a net whose header was emptied keep their places in NET.TDT.
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "", "\tヘッダなし\t\tUPN", "WXYZ\tネットB\tじろう\tUPB"});
    f_->Folder().Write("WXYZ.BRD", FrameBoardFile());
    {
      QtSettingsStore store;
      WriteRegInteger(store, kSectionNet, "DefaultNet", 2);
      store.Flush();
    }
    f_->Start();
    QCOMPARE(NetEntries(), QStringList({U("ネットA"), U("ネットB")}));
    QCOMPARE(Window()->SelectedNet(), -1);  // DefaultNet names the net without header
    ChooseNet(1);
    QCOMPARE(Window()->SelectedNet(), 3);
    QCOMPARE(f_->State().settings.default_net, 3);
    QCOMPARE(BoardGrid()->model()->rowCount(), 3);
    QCOMPARE(f_->State().nets.Count(), 4);
    Window()->SelectNet(2);
    QCOMPARE(Nets()->currentIndex(), -1);
    Window()->SelectNet(0);
    QCOMPARE(Nets()->currentText(), U("ネットA"));
  }

  void displaySettingsColourAndSizeTheGrids() {
    StartWithTwoNets(0);
    FontGroup& g = f_->State().settings.Font(tobrisk::Display::BoardList);
    g.back_color = "clNavy";
    g.font_color = "clYellow";
    g.font_size = 14;
    f_->State().settings.Font(tobrisk::Display::UserList).back_color = "$0000FF00";  // 0x00BBGGRR: green
    Window()->ApplyDisplaySettings();
    QCOMPARE(BoardGrid()->palette().color(QPalette::Base), QColor(0, 0, 0x80));
    QCOMPARE(BoardGrid()->palette().color(QPalette::Text), QColor(0xFF, 0xFF, 0));
    QCOMPARE(BoardGrid()->font().pointSize(), 14);
    QCOMPARE(UserGrid()->palette().color(QPalette::Base), QColor(0, 0xFF, 0));
  }

  void chooserReturnsTheSeqNoOrMinusOne() {
    StartWithTwoNets(0);
    gui::TfrmSelectMoveBoard* chooser = f_->Frame().SelectMoveBoard();
    QCOMPARE(chooser->windowTitle(), U("ボード選択"));

    // A double click on the third board.
    int rows = 0;
    QString first_type;
    WhenModalShown([&](QWidget* dialog) {
      auto* grid = dialog->findChild<QTableView*>("MoveBoardGrid");
      rows = grid->model()->rowCount();
      first_type = Cell(grid, 0, 1);
      DoubleClickRow(grid, 2);
    });
    QCOMPARE(chooser->Choose(), 3);
    QCOMPARE(rows, 3);  // no mail row
    QCOMPARE(first_type, QStringLiteral("BBS"));

    // Enter in the grid closes with OK.
    WhenModalShown([](QWidget* dialog) {
      auto* grid = dialog->findChild<QTableView*>("MoveBoardGrid");
      grid->setCurrentIndex(grid->model()->index(1, 1));
      QTest::keyClick(grid, Qt::Key_Return);
    });
    QCOMPARE(chooser->Choose(), 2);

    // "ｷｬﾝｾﾙ" and Escape give -1.
    QString cancel_text;
    WhenModalShown([&](QWidget* dialog) {
      auto* cancel = dialog->findChild<QPushButton*>("CancelButton");
      cancel_text = cancel->text();
      cancel->click();
    });
    QCOMPARE(chooser->Choose(), -1);
    QCOMPARE(cancel_text, U("ｷｬﾝｾﾙ"));
    WhenModalShown([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QCOMPARE(chooser->Choose(), -1);

    // Each showing lists the board list as it is then.
    ChooseNet(1);
    WhenModalShown([&](QWidget* dialog) {
      rows = dialog->findChild<QTableView*>("MoveBoardGrid")->model()->rowCount();
      dialog->findChild<QPushButton*>("OKButton")->click();
    });
    QCOMPARE(chooser->Choose(), 1);
    QCOMPARE(rows, 2);
  }
};

QTEST_MAIN(TestBoardWindow)
#include "test_board_window.moc"
