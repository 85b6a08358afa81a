// The message window on captures read by the core: list and tree contents, the
// text view, read marks by every route, navigation and mark searches with their
// beeps, the board filter, the key bindings, the menu enabling and the text search.
#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QSplitter>
#include <QContextMenuEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QAbstractItemView>
#include <memory>

#include "capture_generator.h"
#include "helpers/msg_fixture.h"
#include "helpers/gui_text.h"
#include "core/reading/message_text.h"
#include "core/reading/read_marks.h"
#include "gui/reading/TfrmLogMessage.h"
#include "gui/reading/message_menu_state.h"
#include "gui/reading/message_tree_model.h"
#include "core/text/bytes.h"
#include "gui/widgets/gui_prompter.h"

using tobrisk::MessageKind;
using tobrisk::ReplyOrigin;
using tobrisk::gui::FromSjis;
using tobrisk::gui::TfrmLogMessage;
using tobrisk::testing::MsgFixture;
using tobrisk::testing::S;
using tobrisk::testing::U;

Q_DECLARE_METATYPE(tobrisk::ReplyOrigin)

namespace {

// Row order of SmallCapture after the sort.
enum SmallRow {
  kMail1,
  kMail2,
  kTopic1,
  kRes2,
  kRes3,
  kTopic4,  // board BBS 1 "雑談"
  kNoNumber,
  kQuestion10,
  kRes11,  // board BBS 2 "質問" (the missing number sorts first)
  kSmallCount
};

}  // namespace

class MessageWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MsgFixture> fx_;
  std::unique_ptr<TfrmLogMessage> window_;

  // Opens `capture` in a fresh window of the given size, on the given page.
  void Open(const std::string& capture, int open_page = 0, QSize size = QSize(800, 600)) {
    fx_ = std::make_unique<MsgFixture>();
    fx_->Load(capture);
    window_ = std::make_unique<TfrmLogMessage>(fx_->state, fx_->ports);
    window_->resize(size);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    fx_->Show(*window_, open_page);
  }

  template <typename T>
  T* Find(const char* name) const {
    T* w = window_->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no widget %s", name);
    return w;
  }
  QTableView* Grid() const { return Find<QTableView>("LogMessageGrid"); }
  QAbstractItemView* Tree() const { return Find<QAbstractItemView>("LogMessageTreeView"); }
  QPlainTextEdit* Memo() const { return Find<QPlainTextEdit>("Memo1"); }
  QString Panel(const char* name) const { return Find<QLabel>(name)->text(); }
  QTabWidget* Pages() const { return Find<QTabWidget>("PageControl1"); }

  QString Cell(int row, int column) const { return Grid()->model()->index(row, column).data().toString(); }
  int GridRow() const { return Grid()->currentIndex().row(); }
  int TreeRow() const { return Tree()->currentIndex().isValid() ? Tree()->currentIndex().row() : -1; }
  QString TreeText(int row) const { return Tree()->model()->index(row, 0).data().toString(); }
  int TreeMessage(int row) const { return fx_->state.message_tree.MessageIndex(row); }
  int TreeIcon(int row) const { return fx_->state.message_tree.Icon(row); }
  int TreeRowOf(int message) const { return fx_->state.message_tree.NodeOfMessage(static_cast<size_t>(message)); }
  std::string Mark(int message) const { return std::string(fx_->state.messages[static_cast<size_t>(message)].Mark()); }
  int Beeps() const { return fx_->prompter.beeps; }
  // Boxes that refused a command because a composition is in the editor.
  int Refusals() const {
    const std::string text = S("エディタでメッセージを作成中です。\n\rエディタを終了してから、もう一度行って下さい。");
    int n = 0;
    for (const auto& box : fx_->prompter.boxes) n += box.kind == "error" && box.text == text ? 1 : 0;
    return n;
  }

  // What the text view must show for message `index`: the core's text.
  QString ExpectedText(size_t index) const {
    QString text = FromSjis(tobrisk::ReadMessageText(fx_->state, index).bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
  }

  void ClickRow(int row) {
    const QRect rect = Grid()->visualRect(Grid()->model()->index(row, 2));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
  }
  void DoubleClickRow(int row) {
    ClickRow(row);
    const QRect rect = Grid()->visualRect(Grid()->model()->index(row, 2));
    QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
  }
  void SelectNode(int row) {
    Tree()->scrollTo(Tree()->model()->index(row, 0));
    const QRect rect = Tree()->visualRect(Tree()->model()->index(row, 0));
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, rect.center());
  }
  void Key(QWidget* w, Qt::Key key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
  }
  void Type(QWidget* w, char c) {
    const Qt::Key key = static_cast<Qt::Key>(QChar(c).toUpper().unicode());
    Key(w, key, QString(QChar(c)));
  }
  QMenu* OpenListMenu(int row) {
    ClickRow(row);
    const QRect rect = Grid()->visualRect(Grid()->model()->index(row, 2));
    QTest::mousePress(Grid()->viewport(), Qt::RightButton, {}, rect.center());
    QMenu* menu = Find<QMenu>("LogMessagePopupMenu");
    return menu;
  }
  QAction* Item(QMenu* menu, const char* name) const {
    QAction* a = menu->findChild<QAction*>(QString::fromLatin1(name));
    if (!a) qFatal("no item %s", name);
    return a;
  }
  QMenu* OpenTreeMenu(int row) {
    Tree()->scrollTo(Tree()->model()->index(row, 0));
    const QRect rect = Tree()->visualRect(Tree()->model()->index(row, 0));
    QTest::mousePress(Tree()->viewport(), Qt::RightButton, {}, rect.center());
    return Find<QMenu>("LogMessageTreePopupMenu");
  }
  size_t StoreRecords(int message) const {
    const auto& e = fx_->state.messages[static_cast<size_t>(message)];
    size_t n = 0;
    for (const auto& r : fx_->state.read_marks) {
      if (r.board_type == tobrisk::BoardTypeText(e.board_type()) && r.board_no == tobrisk::DecimalText(e.board_no()) &&
          r.message_no == tobrisk::DecimalText(e.message_no)) {
        ++n;
      }
    }
    return n;
  }

 private slots:
  void cleanup() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* menu = qobject_cast<QMenu*>(w)) menu->close();
    }
    window_.reset();
    fx_.reset();
  }

  void listShowsEveryMessageWithTheGridColumns();
  void emptyListKeepsOneEmptyRow();
  void selectingShowsTheTextCutAtTheNextHeader();
  void treeShowsMailsBoardsAndReplyChains();
  void doubleClickAndSpaceMarkRead();
  void listPopupMenuRulesAndMarks();
  void treeDoubleClickAndPopupMenu();
  void listNavigationBeepsAtBothEnds();
  void treeNavigationSkipsBoardNodes();
  void treeKeysMoveAsInAnExpandedTree();
  void treeScrollsSidewaysToTheSelectedNode();
  void markSearchesOnTheTree();
  void filterByBoardIncludingTheMailRow();
  void keyBindingsOfGridAndTextView();
  void messageMenuEnablingFollowsTheFocusedGrid();
  void textSearchFindsTitleWriterAndBody();
  void displaySettingsColourAndFont();
  void missingWorkFileIsReportedAndViewStaysEmpty();
  void openPageTreeSelectsTheFirstMessage();
  void bigListFillsAndScrollsQuickly();
};

void MessageWindowTest::listShowsEveryMessageWithTheGridColumns() {
  tobrisk::testing::CaptureOptions options;
  options.seed = 7;
  options.missing_share = 0.1;
  Open(tobrisk::testing::GenerateCapture(options));
  const auto& messages = fx_->state.messages;
  QVERIFY(messages.Size() > 100);
  QAbstractItemModel* model = Grid()->model();
  QCOMPARE(model->rowCount(), static_cast<int>(messages.Size()));
  QCOMPARE(model->columnCount(), 8);
  const QStringList headers = {QString(),   U("ボード名"),           U("読"),  U("書込日"), U("Type"),
                               U("書込者"), U("メッセージタイトル"), QString()};
  for (int c = 0; c < 8; ++c) QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
  QVERIFY(Grid()->isColumnHidden(0));
  QVERIFY(Grid()->isColumnHidden(7));
  const int widths[] = {0, 140, 26, 48, 35, 135};
  for (int c = 1; c <= 5; ++c) {
    if (c != 4) QCOMPARE(Grid()->columnWidth(c), widths[c]);
  }
  // The Type column shows "MAIL" whole at the chosen font, and is never narrower
  // than its own width: also after a larger font is chosen.
  for (const int size : {9, 20}) {
    fx_->state.settings.Font(tobrisk::Display::LogMessageList).font_size = size;
    window_->ApplyDisplaySettings();
    const int mail = Grid()->fontMetrics().horizontalAdvance(QStringLiteral("MAIL"));
    QVERIFY2(Grid()->columnWidth(4) >= std::max(35, mail + 8), qPrintable(QString::number(size)));
  }
  fx_->state.settings.Font(tobrisk::Display::LogMessageList).font_size = 9;
  window_->ApplyDisplaySettings();
  QCOMPARE(Grid()->columnWidth(6), window_->width() - 401);
  QCOMPARE(Panel("AllPanel"), QString::number(messages.Size()));
  QCOMPARE(Panel("NowPanel"), QString::number(1));  // OpenPage 0 shows the first row

  int prefixed = 0;
  for (size_t i = 0; i < messages.Size(); ++i) {
    const auto fields = messages.Fields(i);
    const int row = static_cast<int>(i);
    QCOMPARE(Cell(row, 0), FromSjis(fields[0]));
    QCOMPARE(Cell(row, 0), QString::number(row + 1));
    QString prefix;
    if (fields[2] == "-1" || fields[5] == "-1" || fields[7] == "-1") {
      prefix = U("[★") + (fields[2] == "-1" ? "B" : "") + (fields[5] == "-1" ? "W" : "") +
               (fields[7] == "-1" ? "F" : "") + "]";
      ++prefixed;
    }
    QCOMPARE(Cell(row, 1), prefix + FromSjis(fields[3]));
    QCOMPARE(Cell(row, 2), FromSjis(fields[13]));
    QCOMPARE(Cell(row, 3), FromSjis(fields[12]));
    QCOMPARE(Cell(row, 4), FromSjis(fields[9]));
    QCOMPARE(Cell(row, 5), FromSjis(fields[6]));
    QCOMPARE(Cell(row, 6), FromSjis(fields[10]));
    QCOMPARE(Cell(row, 7), FromSjis(fields[2]));
  }
  QVERIFY(prefixed > 0);
  // The upper panel starts 154 pixels high above a 2-pixel splitter bar.
  QCOMPARE(Find<QWidget>("MessageListPanel")->height(), 154);
  QCOMPARE(Find<QSplitter>("Splitter")->handleWidth(), 2);
  // Mails come first and show "-" as their mark.
  QCOMPARE(Cell(0, 4), U("MAIL"));
  QCOMPARE(Cell(0, 2), U("-"));
}

void MessageWindowTest::emptyListKeepsOneEmptyRow() {
  Open(tobrisk::testing::MainMenuLine() + "\r\n");
  QCOMPARE(fx_->state.messages.Size(), size_t{0});
  QCOMPARE(Grid()->model()->rowCount(), 1);
  QCOMPARE(Cell(0, 0), QString());
  ClickRow(0);
  QCOMPARE(Panel("NowPanel"), U("0"));
  QVERIFY(Memo()->toPlainText().isEmpty());
  QCOMPARE(window_->FillBoardMessageGrid("BBS", "1"), 0);
  QCOMPARE(Grid()->model()->rowCount(), 1);
  // Commands on the empty row do nothing.
  const int beeps = Beeps();
  DoubleClickRow(0);
  Key(Grid(), Qt::Key_Space, " ");
  QVERIFY(fx_->state.read_marks.empty());
  QCOMPARE(Beeps(), beeps);
  // The tree still shows both roots; navigation on it does nothing.
  QCOMPARE(Tree()->model()->rowCount(), 2);
  Pages()->setCurrentIndex(1);
  window_->MessageTopButtonClick();
  window_->FindNoReadButtonClick();
  QCOMPARE(TreeRow(), -1);
}

void MessageWindowTest::selectingShowsTheTextCutAtTheNextHeader() {
  Open(tobrisk::testing::SmallCapture());
  QCOMPARE(fx_->state.messages.Size(), size_t{kSmallCount});
  QCOMPARE(Cell(kTopic1, 6), U("最初の話題"));
  QCOMPARE(Cell(kNoNumber, 6), U("番号なし"));
  QCOMPARE(Cell(kNoNumber, 1), U("[★F]雑談").replace(U("雑談"), U("質問")));

  ClickRow(kTopic1);
  QCOMPARE(Panel("NowPanel"), QString::number(kTopic1 + 1));
  // Empty lines and lines beginning with "●" but not "● [" belong to the text.
  QCOMPARE(Memo()->toPlainText(), U("一行目\n\n● 強調の行\n三行目\n"));
  ClickRow(kTopic4);  // the next line is a board header
  QCOMPARE(Memo()->toPlainText(), U("二つ目の本文\n"));
  ClickRow(kNoNumber);  // the last message runs to the end of the file
  QCOMPARE(Memo()->toPlainText(), U("最後の本文\nおわり\n"));
  ClickRow(kMail2);  // ends at the mail-sending screen
  QCOMPARE(Memo()->toPlainText(), U("メール二通目\n"));
  for (int i = 0; i < kSmallCount; ++i) {
    ClickRow(i);
    QCOMPARE(Memo()->toPlainText(), ExpectedText(static_cast<size_t>(i)));
  }
  // Selecting never marks.
  for (int i = 0; i < kSmallCount; ++i) QVERIFY(Mark(i) == "" || Mark(i) == "-");
  QVERIFY(fx_->state.read_marks.empty());

  // On the tree: a board node empties the view, a message node shows its text,
  // and NowPanel stays as the list left it.
  Pages()->setCurrentIndex(1);
  const QString now = Panel("NowPanel");
  SelectNode(TreeRowOf(kRes2));
  QCOMPARE(Memo()->toPlainText(), U("返事です\n"));
  SelectNode(TreeRowOf(kTopic1) - 1);  // its board node
  QVERIFY(Memo()->toPlainText().isEmpty());
  QCOMPARE(Panel("NowPanel"), now);
  // Back on the list page the list's row is shown again.
  Pages()->setCurrentIndex(0);
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kSmallCount - 1));
}

void MessageWindowTest::treeShowsMailsBoardsAndReplyChains() {
  Open(tobrisk::testing::SmallCapture(), 1);
  const QStringList expected = {
      U("『新着メール』"),
      U("【はなこ】お元気ですか"),
      U("【ねこ】Re:連絡"),
      U("『新着メッセージ』"),
      U("BBS1:雑談"),
      U("#Fc.00001【たろう】最初の話題"),
      U("#Fc.00002【はなこ】Re:最初の話題"),
      U("#Fc.00003【じろう】Re:Re:最初"),
      U("#Fc.00004【MIKE】二つ目"),
      U("BBS2:質問"),
      U("#Fc.000-1【たろう】番号なし"),
      U("#Fc.00010【ねこ】質問です"),
      U("#Fc.00011【ｹﾝｼﾞ】Re:不明"),
  };
  QCOMPARE(Tree()->model()->rowCount(), expected.size());
  for (int row = 0; row < expected.size(); ++row) QCOMPARE(TreeText(row), expected[row]);
  const int depths[] = {0, 1, 1, 0, 1, 2, 3, 4, 2, 1, 2, 2, 2};
  const int icons[] = {6, 5, 5, 4, 2, 0, 0, 0, 0, 2, 0, 0, 0};
  for (int row = 0; row < expected.size(); ++row) {
    QCOMPARE(fx_->state.message_tree.Depth(row), depths[row]);
    QCOMPARE(TreeIcon(row), icons[row]);
    QVERIFY(!Tree()->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
  }
  // Every node stays expanded: the rows are the display order, indented by depth.
  for (int row = 0; row < expected.size(); ++row) {
    QCOMPARE(Tree()->model()->index(row, 0).data(tobrisk::gui::MessageTreeModel::kNodeDepthRole).toInt(), depths[row]);
  }
  // OpenPage 1: the tree page with the first message selected.
  QCOMPARE(Pages()->currentIndex(), 1);
  QCOMPARE(TreeRow(), 1);
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kMail1));
}

void MessageWindowTest::doubleClickAndSpaceMarkRead() {
  Open(tobrisk::testing::SmallCapture());
  DoubleClickRow(kTopic1);
  QCOMPARE(Cell(kTopic1, 2), U("○"));
  QCOMPARE(Mark(kTopic1), S("○"));
  QCOMPARE(StoreRecords(kTopic1), size_t{1});
  QCOMPARE(fx_->state.read_marks.back().mark, S("○"));
  // The tree follows the list at once.
  QCOMPARE(TreeIcon(TreeRowOf(kTopic1)), 3);

  // A replied message stays replied; a checked one becomes read.
  tobrisk::SetReadMark(fx_->state, kRes2, S("●"));
  tobrisk::SetReadMark(fx_->state, kRes3, S("★"));
  window_->RefreshMarks();
  QCOMPARE(Cell(kRes2, 2), U("●"));
  QCOMPARE(TreeIcon(TreeRowOf(kRes2)), 1);
  DoubleClickRow(kRes2);
  QCOMPARE(Mark(kRes2), S("●"));
  DoubleClickRow(kRes3);
  QCOMPARE(Mark(kRes3), S("○"));
  QCOMPARE(StoreRecords(kRes3), size_t{1});
  // A mail changes nothing.
  DoubleClickRow(kMail1);
  QCOMPARE(Cell(kMail1, 2), U("-"));
  QCOMPARE(Mark(kMail1), std::string("-"));

  // Space marks and moves one row down; on the last row it marks and stays.
  ClickRow(kTopic4);
  Key(Grid(), Qt::Key_Space, " ");
  QCOMPARE(Mark(kTopic4), S("○"));
  QCOMPARE(GridRow(), kTopic4 + 1);
  ClickRow(kSmallCount - 1);
  const int beeps = Beeps();
  Key(Grid(), Qt::Key_Space, " ");
  QCOMPARE(Mark(kSmallCount - 1), S("○"));
  QCOMPARE(GridRow(), kSmallCount - 1);
  QCOMPARE(Beeps(), beeps);
  // Setting a mark twice leaves one record, at the end.
  DoubleClickRow(kTopic1);
  QCOMPARE(StoreRecords(kTopic1), size_t{1});
  QCOMPARE(fx_->state.read_marks.back().message_no, std::string("1"));
}

void MessageWindowTest::listPopupMenuRulesAndMarks() {
  Open(tobrisk::testing::SmallCapture());
  QMenu* menu = OpenListMenu(kTopic1);
  QTRY_VERIFY(menu->isVisible());
  QCOMPARE(GridRow(), kTopic1);  // the right button does not move the selection
  for (const char* name : {"ResItem", "MoveResItem", "ReadItem", "ResWrittenItem", "CheckItem"}) {
    QVERIFY2(Item(menu, name)->isEnabled(), name);
  }
  for (const char* name : {"ReadItem", "ResWrittenItem", "CheckItem"}) QVERIFY(!Item(menu, name)->isChecked());
  Item(menu, "CheckItem")->trigger();
  menu->close();
  QCOMPARE(Cell(kTopic1, 2), U("★"));
  QCOMPARE(TreeIcon(TreeRowOf(kTopic1)), 7);

  // The check states follow the mark; the checked item again returns to unread.
  menu = OpenListMenu(kTopic1);
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(Item(menu, "CheckItem")->isChecked());
  QVERIFY(!Item(menu, "ReadItem")->isChecked());
  Item(menu, "CheckItem")->trigger();
  menu->close();
  QCOMPARE(Cell(kTopic1, 2), QString());
  QCOMPARE(Mark(kTopic1), std::string());
  QCOMPARE(StoreRecords(kTopic1), size_t{0});

  menu = OpenListMenu(kTopic1);
  QTRY_VERIFY(menu->isVisible());
  Item(menu, "ResWrittenItem")->trigger();
  menu->close();
  QCOMPARE(Mark(kTopic1), S("●"));
  menu = OpenListMenu(kTopic1);
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(Item(menu, "ResWrittenItem")->isChecked());
  Item(menu, "ReadItem")->trigger();
  menu->close();
  QCOMPARE(Mark(kTopic1), S("○"));
  QCOMPARE(StoreRecords(kTopic1), size_t{1});

  // Mail: only "レス(&R)".
  menu = OpenListMenu(kMail1);
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(Item(menu, "ResItem")->isEnabled());
  for (const char* name : {"MoveResItem", "ReadItem", "ResWrittenItem", "CheckItem"}) {
    QVERIFY2(!Item(menu, name)->isEnabled(), name);
  }
  QSignalSpy res_mail(window_.get(), &TfrmLogMessage::ResMailRequested);
  Item(menu, "ResItem")->trigger();
  menu->close();
  QCOMPARE(res_mail.size(), 1);
  QCOMPARE(res_mail[0][0].toInt(), static_cast<int>(kMail1));

  // A header with a missing number refuses "レス(&R)".
  menu = OpenListMenu(kNoNumber);
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(!Item(menu, "ResItem")->isEnabled());
  QVERIFY(Item(menu, "MoveResItem")->isEnabled());
  menu->close();

  // While the editor runs, replies are refused with the reason.
  QSignalSpy res(window_.get(), &TfrmLogMessage::ResMessageRequested);
  QSignalSpy move(window_.get(), &TfrmLogMessage::MoveResMessageRequested);
  fx_->state.editor_busy = true;
  menu = OpenListMenu(kRes2);
  QTRY_VERIFY(menu->isVisible());
  int refusals = Refusals();
  Item(menu, "ResItem")->trigger();
  Item(menu, "MoveResItem")->trigger();
  QCOMPARE(Refusals(), refusals + 2);
  QCOMPARE(res.size() + move.size(), 0);
  fx_->state.editor_busy = false;
  Item(menu, "ResItem")->trigger();
  Item(menu, "MoveResItem")->trigger();
  menu->close();
  QCOMPARE(res.size(), 1);
  QCOMPARE(res[0][0].toInt(), static_cast<int>(kRes2));
  QCOMPARE(res[0][1].value<ReplyOrigin>(), ReplyOrigin::List);
  QCOMPARE(move.size(), 1);

  // The keyboard's menu key opens the menu for the selected row.
  ClickRow(kTopic4);
  QContextMenuEvent by_key(QContextMenuEvent::Keyboard, QPoint(1, 1), Grid()->mapToGlobal(QPoint(1, 1)));
  QApplication::sendEvent(Grid(), &by_key);
  QTRY_VERIFY(Find<QMenu>("LogMessagePopupMenu")->isVisible());
  Find<QMenu>("LogMessagePopupMenu")->close();

  // On the empty row nothing opens.
  window_->FillBoardMessageGrid("CUG", "77");
  QTest::mousePress(Grid()->viewport(), Qt::RightButton, {}, Grid()->visualRect(Grid()->model()->index(0, 2)).center());
  QTest::qWait(20);
  QVERIFY(!Find<QMenu>("LogMessagePopupMenu")->isVisible());
}

void MessageWindowTest::treeDoubleClickAndPopupMenu() {
  Open(tobrisk::testing::SmallCapture(), 1);
  const int topic = TreeRowOf(kTopic1);
  // Double click: unread becomes read; others stay.
  SelectNode(topic);
  QTest::mouseDClick(Tree()->viewport(), Qt::LeftButton, {},
                     Tree()->visualRect(Tree()->model()->index(topic, 0)).center());
  QCOMPARE(TreeIcon(topic), 3);
  QCOMPARE(Mark(kTopic1), S("○"));
  QCOMPARE(Cell(kTopic1, 2), U("○"));  // the list follows at once
  const int res2 = TreeRowOf(kRes2);
  tobrisk::SetReadMark(fx_->state, kRes2, S("●"));
  window_->RefreshMarks();
  QCOMPARE(TreeIcon(res2), 1);
  SelectNode(res2);
  QTest::mouseDClick(Tree()->viewport(), Qt::LeftButton, {},
                     Tree()->visualRect(Tree()->model()->index(res2, 0)).center());
  QCOMPARE(TreeIcon(res2), 1);
  QCOMPARE(Mark(kRes2), S("●"));
  // A board node: nothing.
  SelectNode(topic - 1);
  QTest::mouseDClick(Tree()->viewport(), Qt::LeftButton, {},
                     Tree()->visualRect(Tree()->model()->index(topic - 1, 0)).center());
  QCOMPARE(TreeIcon(topic - 1), 2);

  // The menu: seven items with their numbers and icons; it opens on message
  // and mail nodes only, and selects the node under the pointer.
  QMenu* menu = OpenTreeMenu(topic - 1);
  QTest::qWait(20);
  QVERIFY(!menu->isVisible());
  QCOMPARE(TreeRow(), topic - 1);
  const QList<QAction*> items = menu->actions();
  QCOMPARE(items.size(), 9);  // and, after a separator, "テキストで保存..." (the export tests use it)
  QCOMPARE(items[8]->text(), U("テキストで保存..."));
  const int numbers[] = {100, 101, 102, 103, 104, 105, 106};
  const QStringList texts = {U("レス(&R)"),        U("移動レス(&M)"),     QString(),
                             U("未読(&N)"),        U("読み込み済み(&A)"), U("レス書き込み済み(&W)"),
                             U("チェック済み(&D)")};
  for (int i = 0; i < 7; ++i) {
    QCOMPARE(items[i]->data().toInt(), numbers[i]);
    QCOMPARE(items[i]->text(), texts[i]);
    QCOMPARE(items[i]->icon().isNull(), i < 3);
  }
  const int res3 = TreeRowOf(kRes3);
  menu = OpenTreeMenu(res3);
  QTRY_VERIFY(menu->isVisible());
  QCOMPARE(TreeRow(), res3);
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kRes3));
  items[6]->trigger();  // checked
  menu->close();
  QCOMPARE(TreeIcon(res3), 7);
  QCOMPARE(Mark(kRes3), S("★"));
  menu = OpenTreeMenu(res3);
  QTRY_VERIFY(menu->isVisible());
  items[3]->trigger();  // not read: the record goes
  menu->close();
  QCOMPARE(TreeIcon(res3), 0);
  QCOMPARE(Mark(kRes3), std::string());
  QCOMPARE(StoreRecords(kRes3), size_t{0});
  menu = OpenTreeMenu(res3);
  QTRY_VERIFY(menu->isVisible());
  QSignalSpy res(window_.get(), &TfrmLogMessage::ResMessageRequested);
  QSignalSpy move(window_.get(), &TfrmLogMessage::MoveResMessageRequested);
  items[0]->trigger();
  items[1]->trigger();
  menu->close();
  QCOMPARE(res.size(), 1);
  QCOMPARE(res[0][1].value<ReplyOrigin>(), ReplyOrigin::Tree);
  QCOMPARE(move.size(), 1);

  // A mail node: "レス(&R)" replies to the mail; its image stays the mail's.
  QSignalSpy res_mail(window_.get(), &TfrmLogMessage::ResMailRequested);
  menu = OpenTreeMenu(TreeRowOf(kMail2));
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(!items[4]->isEnabled());
  items[0]->trigger();
  menu->close();
  QCOMPARE(res_mail.size(), 1);
  QCOMPARE(res_mail[0][0].toInt(), static_cast<int>(kMail2));
  QCOMPARE(TreeIcon(TreeRowOf(kMail2)), 5);
  // Busy editor: refused with the reason.
  fx_->state.editor_busy = true;
  menu = OpenTreeMenu(res3);
  QTRY_VERIFY(menu->isVisible());
  const int refusals = Refusals();
  items[0]->trigger();
  items[1]->trigger();
  menu->close();
  QCOMPARE(Refusals(), refusals + 2);
  QCOMPARE(res.size(), 1);
}

void MessageWindowTest::listNavigationBeepsAtBothEnds() {
  Open(tobrisk::testing::SmallCapture());
  QCOMPARE(GridRow(), 0);
  int beeps = Beeps();
  window_->MessageUpButtonClick();
  QCOMPARE(Beeps(), beeps + 1);
  QCOMPARE(GridRow(), 0);
  window_->MessageDownButtonClick();
  QCOMPARE(GridRow(), 1);
  QCOMPARE(Panel("NowPanel"), U("2"));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(1));
  window_->MessageLastButtonClick();
  QCOMPARE(GridRow(), kSmallCount - 1);
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kSmallCount - 1));
  beeps = Beeps();
  window_->MessageDownButtonClick();
  QCOMPARE(Beeps(), beeps + 1);
  QCOMPARE(GridRow(), kSmallCount - 1);
  window_->MessageUpButtonClick();
  QCOMPARE(GridRow(), kSmallCount - 2);
  window_->MessageTopButtonClick();
  QCOMPARE(GridRow(), 0);
  QCOMPARE(Panel("NowPanel"), U("1"));
  // The write page: nothing.
  Pages()->setCurrentIndex(2);
  beeps = Beeps();
  window_->MessageUpButtonClick();
  window_->MessageLastButtonClick();
  QCOMPARE(Beeps(), beeps);
  QCOMPARE(GridRow(), 0);
  // No command marks.
  QVERIFY(fx_->state.read_marks.empty());
}

void MessageWindowTest::treeNavigationSkipsBoardNodes() {
  Open(tobrisk::testing::SmallCapture());
  Pages()->setCurrentIndex(1);
  QCOMPARE(TreeRow(), -1);
  // Next with nothing selected runs top: the first mail.
  window_->MessageDownButtonClick();
  QCOMPARE(TreeRow(), 1);
  window_->MessageUpButtonClick();  // nothing before the first mail
  QCOMPARE(TreeRow(), 1);
  int beeps = Beeps();
  QCOMPARE(beeps, 1);
  window_->MessageDownButtonClick();
  QCOMPARE(TreeRow(), 2);
  window_->MessageDownButtonClick();  // over the message root and the board node
  QCOMPARE(TreeRow(), TreeRowOf(kTopic1));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kTopic1));
  SelectNode(TreeRowOf(kTopic4));
  window_->MessageDownButtonClick();  // over "BBS2:質問"
  QCOMPARE(TreeMessage(TreeRow()), static_cast<int>(kNoNumber));
  window_->MessageUpButtonClick();
  QCOMPARE(TreeRow(), TreeRowOf(kTopic4));
  window_->MessageLastButtonClick();
  QCOMPARE(TreeRow(), Tree()->model()->rowCount() - 1);
  beeps = Beeps();
  window_->MessageDownButtonClick();
  QCOMPARE(Beeps(), beeps + 1);
  QCOMPARE(TreeRow(), Tree()->model()->rowCount() - 1);
  window_->MessageTopButtonClick();
  QCOMPARE(TreeRow(), 1);

  // Without mails, top is the first message of the first board.
  std::string capture = tobrisk::testing::SmallCapture();
  const size_t board = capture.find(tobrisk::testing::BbsHeader(1, S("雑談")));
  Open(tobrisk::testing::MainMenuLine() + "\r\n" + capture.substr(board), 1);
  QCOMPARE(TreeText(0), U("『新着メール』"));
  QCOMPARE(TreeRow(), 3);
  QCOMPARE(TreeText(3), U("#Fc.00001【たろう】最初の話題"));
}

void MessageWindowTest::treeKeysMoveAsInAnExpandedTree() {
  Open(tobrisk::testing::SmallCapture());
  Pages()->setCurrentIndex(1);
  const int res3 = TreeRowOf(kRes3);  // board > topic 1 > reply 2 > reply 3
  SelectNode(res3);
  // Left climbs to the parent node, up to the message root, and no further.
  const int up[] = {TreeRowOf(kRes2), TreeRowOf(kTopic1), TreeRowOf(kTopic1) - 1, 3, 3};
  for (const int row : up) {
    QTest::keyClick(Tree(), Qt::Key_Left);
    QCOMPARE(TreeRow(), row);
  }
  QCOMPARE(TreeText(3), U("『新着メッセージ』"));
  // Right goes down to the first child, down to a node without children.
  const int down[] = {TreeRowOf(kTopic1) - 1, TreeRowOf(kTopic1), TreeRowOf(kRes2), res3, res3};
  for (const int row : down) {
    QTest::keyClick(Tree(), Qt::Key_Right);
    QCOMPARE(TreeRow(), row);
  }
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kRes3));
  QTest::keyClick(Tree(), Qt::Key_Down);
  QCOMPARE(TreeRow(), res3 + 1);
  QTest::keyClick(Tree(), Qt::Key_Up);
  QCOMPARE(TreeRow(), res3);
  QTest::keyClick(Tree(), Qt::Key_End);
  QCOMPARE(TreeRow(), Tree()->model()->rowCount() - 1);
  QTest::keyClick(Tree(), Qt::Key_Home);
  QCOMPARE(TreeRow(), 0);
}

void MessageWindowTest::treeScrollsSidewaysToTheSelectedNode() {
  // A reply chain 80 levels deep: its last node is indented far beyond the view.
  std::string capture = tobrisk::testing::BbsHeader(1, "chat") + "\r\n" +
                        tobrisk::testing::NewHeader(1, "top", 7, "MIKE", "12/01") + "\r\ntext\r\n";
  for (int no = 2; no <= 80; ++no) {
    capture += tobrisk::testing::ResHeaderLine(no, no - 1) + "\r\n" +
               tobrisk::testing::ResFieldsLine("Re:", 8, "JOE", "12/02") + "\r\nreply\r\n";
  }
  Open(capture, 1);
  QScrollBar* bar = static_cast<QAbstractScrollArea*>(Tree())->horizontalScrollBar();
  const auto shown = [&](int row) {
    const int left = tobrisk::gui::MessageTreeDelegate::kIndent * fx_->state.message_tree.Depth(row);
    return left >= bar->value() && left + 100 <= bar->value() + Tree()->viewport()->width();
  };
  window_->MessageLastButtonClick();
  const int last = Tree()->model()->rowCount() - 1;
  QCOMPARE(TreeRow(), last);
  QVERIFY2(shown(last), qPrintable(QString::number(bar->value())));
  window_->MessageTopButtonClick();
  QCOMPARE(bar->value(), 0);  // the first message, with the roots' indentation before it
}

void MessageWindowTest::markSearchesOnTheTree() {
  Open(tobrisk::testing::SmallCapture());
  // On the list page the searches do nothing.
  int beeps = Beeps();
  window_->FindNoReadButtonClick();
  QCOMPARE(Beeps(), beeps);
  QCOMPARE(TreeRow(), -1);

  Pages()->setCurrentIndex(1);
  // Nothing selected: top selects the first mail, which never matches; the
  // search goes on to the first unread message.
  window_->FindNoReadButtonClick();
  QCOMPARE(TreeRow(), TreeRowOf(kTopic1));
  tobrisk::SetReadMark(fx_->state, kRes3, S("○"));
  tobrisk::SetReadMark(fx_->state, kQuestion10, S("★"));
  tobrisk::SetReadMark(fx_->state, kRes11, S("●"));
  window_->RefreshMarks();
  window_->FindAlreadyButtonClick();
  QCOMPARE(TreeRow(), TreeRowOf(kRes3));
  window_->FindAlreadyCheckButtonClick();
  QCOMPARE(TreeRow(), TreeRowOf(kQuestion10));
  window_->FindAlreadyResButtonClick();
  QCOMPARE(TreeRow(), TreeRowOf(kRes11));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kRes11));
  // No wrap-around: beep and keep the selection.
  beeps = Beeps();
  window_->FindAlreadyButtonClick();
  QCOMPARE(Beeps(), beeps + 1);
  QCOMPARE(TreeRow(), TreeRowOf(kRes11));
  // The last unread message selected: the unread search beeps.
  SelectNode(TreeRowOf(kNoNumber));
  beeps = Beeps();
  window_->FindNoReadButtonClick();
  QCOMPARE(Beeps(), beeps + 1);
  QCOMPARE(TreeRow(), TreeRowOf(kNoNumber));
  // The first message unread and nothing selected in a log without mail: it is chosen.
  std::string capture = tobrisk::testing::SmallCapture();
  const size_t board = capture.find(tobrisk::testing::BbsHeader(1, S("雑談")));
  Open(tobrisk::testing::MainMenuLine() + "\r\n" + capture.substr(board));
  Pages()->setCurrentIndex(1);
  window_->FindNoReadButtonClick();
  QCOMPARE(TreeText(TreeRow()), U("#Fc.00001【たろう】最初の話題"));
}

void MessageWindowTest::filterByBoardIncludingTheMailRow() {
  Open(tobrisk::testing::SmallCapture());
  const int all_title = Grid()->columnWidth(6);
  QCOMPARE(window_->FilterByBoard("BBS", "2", S("質問    ")), 3);
  auto* board_radio = Find<QRadioButton>("BoardRadioButton");
  QVERIFY(board_radio->isChecked());
  QVERIFY(Grid()->isColumnHidden(1));
  QCOMPARE(Grid()->columnWidth(6), all_title + 141);
  QCOMPARE(Panel("BoardNamePanel"), U("質問"));
  QCOMPARE(Panel("AllPanel"), U("3"));
  QCOMPARE(Grid()->model()->rowCount(), 3);
  QCOMPARE(Cell(0, 0), QString::number(kNoNumber + 1));
  QCOMPARE(Cell(0, 1), U("質問"));  // no prefix in per-board mode
  QCOMPARE(Cell(1, 6), U("質問です"));
  QCOMPARE(Panel("NowPanel"), U("1"));
  QCOMPARE(Pages()->currentIndex(), 0);
  // A mark lands in the row of the changed message, not the row numbered by its SeqNo.
  DoubleClickRow(1);
  QCOMPARE(Mark(kQuestion10), S("○"));
  QCOMPARE(Cell(1, 2), U("○"));
  QCOMPARE(Mark(1), std::string("-"));
  // The mail row of the board grid: "MAIL" / "M".
  QCOMPARE(window_->FilterByBoard("MAIL", "M", S("新着メール")), 2);
  QCOMPARE(Cell(0, 6), U("お元気ですか"));
  QCOMPARE(Cell(1, 6), U("Re:連絡"));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kMail1));
  // A board without messages: one empty row and "0".
  QCOMPARE(window_->FilterByBoard("LBBS", "5", S("空")), 0);
  QCOMPARE(Grid()->model()->rowCount(), 1);
  QCOMPARE(Cell(0, 0), QString());
  QCOMPARE(Panel("AllPanel"), U("0"));
  QCOMPARE(Panel("NowPanel"), U("0"));
  // "全件" lists everything again with the prefixes, keeping the selected message.
  window_->FilterByBoard("BBS", "1", S("雑談"));
  ClickRow(2);
  QTest::mouseClick(Find<QRadioButton>("AllMessageRadioButton"), Qt::LeftButton);
  QCOMPARE(GridRow(), static_cast<int>(kRes3));
  QCOMPARE(Panel("NowPanel"), QString::number(kRes3 + 1));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kRes3));
  QVERIFY(Find<QRadioButton>("AllMessageRadioButton")->isChecked());
  QVERIFY(!Grid()->isColumnHidden(1));
  QCOMPARE(Grid()->columnWidth(1), 140);
  QCOMPARE(Grid()->columnWidth(6), all_title);
  QCOMPARE(Grid()->model()->rowCount(), static_cast<int>(kSmallCount));
  QCOMPARE(Panel("AllPanel"), QString::number(kSmallCount));
  QCOMPARE(Panel("BoardNamePanel"), QString());
  QVERIFY(Cell(kNoNumber, 1).startsWith(U("[★F]")));
  // "ボード単位" alone only hides the board column.
  QTest::mouseClick(board_radio, Qt::LeftButton);
  QVERIFY(Grid()->isColumnHidden(1));
  QCOMPARE(Grid()->model()->rowCount(), static_cast<int>(kSmallCount));
  // The resize rule follows the window's width.
  window_->resize(900, 600);
  QTRY_COMPARE(Grid()->columnWidth(6), 900 - 260);
}

void MessageWindowTest::keyBindingsOfGridAndTextView() {
  Open(tobrisk::testing::SmallCapture());
  ClickRow(kTopic1);
  Key(Grid(), Qt::Key_Return);
  QCOMPARE(GridRow(), kTopic1 + 1);
  Type(Grid(), '2');
  QCOMPARE(GridRow(), kTopic1 + 2);
  Key(Grid(), Qt::Key_Backspace);
  QCOMPARE(GridRow(), kTopic1 + 1);
  Type(Grid(), '8');
  QCOMPARE(GridRow(), kTopic1);
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kTopic1));
  // At the ends nothing happens, without a beep.
  const int beeps = Beeps();
  ClickRow(0);
  Key(Grid(), Qt::Key_Backspace);
  QCOMPARE(GridRow(), 0);
  ClickRow(kSmallCount - 1);
  Key(Grid(), Qt::Key_Enter);
  QCOMPARE(GridRow(), kSmallCount - 1);
  QCOMPARE(Beeps(), beeps);

  // The text view moves the list's selection too.
  ClickRow(kTopic1);
  Key(Memo(), Qt::Key_Return);
  QCOMPARE(GridRow(), kTopic1 + 1);
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kTopic1 + 1));
  Type(Memo(), '8');
  QCOMPARE(GridRow(), kTopic1);
  Key(Memo(), Qt::Key_Space, " ");  // not bound in the text view
  QCOMPARE(Mark(kTopic1), std::string());

  QSignalSpy res(window_.get(), &TfrmLogMessage::ResMessageRequested);
  QSignalSpy res_mail(window_.get(), &TfrmLogMessage::ResMailRequested);
  QSignalSpy move(window_.get(), &TfrmLogMessage::MoveResMessageRequested);
  Type(Grid(), 'r');
  Type(Grid(), 'M');
  QCOMPARE(res.size(), 1);
  QCOMPARE(move.size(), 1);
  // The editor busy: the grid and the text view refuse with the reason.
  fx_->state.editor_busy = true;
  const int refusals = Refusals();
  Type(Grid(), 'R');
  Type(Grid(), 'm');
  Type(Memo(), 'R');
  Type(Memo(), 'm');
  QCOMPARE(Refusals(), refusals + 4);
  QCOMPARE(res.size(), 1);
  QCOMPARE(move.size(), 1);
  fx_->state.editor_busy = false;
  Type(Memo(), 'R');
  Type(Memo(), 'm');
  QCOMPARE(res.size(), 2);
  QCOMPARE(move.size(), 2);
  // A mail: "R" replies by mail, "M" does nothing.
  ClickRow(kMail1);
  Type(Grid(), 'r');
  Type(Grid(), 'm');
  QCOMPARE(res_mail.size(), 1);
  QCOMPARE(move.size(), 2);
  // A message number missing: "R" does nothing.
  ClickRow(kNoNumber);
  Type(Grid(), 'r');
  QCOMPARE(res.size(), 2);
  Type(Grid(), 'm');
  QCOMPARE(move.size(), 3);

  // On the tree page the text view shows the tree's message, and its keys act
  // on that message, whatever row the list holds.
  ClickRow(kMail1);
  Pages()->setCurrentIndex(1);
  SelectNode(TreeRowOf(kRes2));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kRes2));
  Type(Memo(), 'R');
  QCOMPARE(res.size(), 3);
  QCOMPARE(res.back()[0].toInt(), static_cast<int>(kRes2));
  QCOMPARE(res.back()[1].value<ReplyOrigin>(), ReplyOrigin::Tree);
  QCOMPARE(res_mail.size(), 1);
  Type(Memo(), 'm');
  QCOMPARE(move.size(), 4);
  QCOMPARE(move.back()[0].toInt(), static_cast<int>(kRes2));
  // Enter and "8" step through the tree's messages; the list stays where it was.
  Key(Memo(), Qt::Key_Return);
  QCOMPARE(TreeMessage(TreeRow()), static_cast<int>(kRes3));
  QCOMPARE(Memo()->toPlainText(), ExpectedText(kRes3));
  Type(Memo(), '8');
  QCOMPARE(TreeMessage(TreeRow()), static_cast<int>(kRes2));
  QCOMPARE(GridRow(), static_cast<int>(kMail1));
  // The write page shows a written message: the keys do nothing.
  Pages()->setCurrentIndex(2);
  Type(Memo(), 'r');
  Key(Memo(), Qt::Key_Return);
  QCOMPARE(res.size() + res_mail.size(), 4);
  QCOMPARE(TreeMessage(TreeRow()), static_cast<int>(kRes2));
}

void MessageWindowTest::messageMenuEnablingFollowsTheFocusedGrid() {
  using tobrisk::gui::MessageMenuState;
  using tobrisk::gui::UpdateMessageMenu;
  Open(tobrisk::testing::SmallCapture());
  QCOMPARE(UpdateMessageMenu(nullptr), MessageMenuState{});
  QCOMPARE(UpdateMessageMenu(Memo()), MessageMenuState{});
  ClickRow(kTopic1);
  MessageMenuState s = UpdateMessageMenu(Grid());
  QVERIFY(s.res_message && s.move_res_message && !s.res_mail);
  QVERIFY(!s.new_mail && !s.new_message && !s.edit_message && !s.delete_message && !s.revive_message);
  ClickRow(kMail1);
  s = UpdateMessageMenu(Grid()->viewport());
  QVERIFY(s.res_mail && !s.res_message && !s.move_res_message);
  ClickRow(kNoNumber);
  s = UpdateMessageMenu(Grid());
  QVERIFY(!s.res_message && s.move_res_message && !s.res_mail);
  // In per-board mode the missing number still refuses the reply.
  window_->FilterByBoard("BBS", "2", S("質問"));
  s = UpdateMessageMenu(Grid());
  QVERIFY(!s.res_message && s.move_res_message);
  window_->FilterByBoard("CUG", "9", S("空"));
  QCOMPARE(UpdateMessageMenu(Grid()), MessageMenuState{});
}

void MessageWindowTest::textSearchFindsTitleWriterAndBody() {
  Open(tobrisk::testing::SmallCapture());
  auto* bar = Find<QWidget>("TextSearchBar");
  QVERIFY(!bar->isVisible());
  // Ctrl+F, F3 and Shift+F3 within the window.
  QList<QKeySequence> keys;
  for (QShortcut* shortcut : window_->findChildren<QShortcut*>()) {
    QCOMPARE(shortcut->context(), Qt::WidgetWithChildrenShortcut);
    keys << shortcut->key();
  }
  QVERIFY(keys.contains(QKeySequence(QKeySequence::Find)));
  QVERIFY(keys.contains(QKeySequence(QKeySequence::FindNext)));
  QVERIFY(keys.contains(QKeySequence(QKeySequence::FindPrevious)));
  window_->ShowTextSearch();
  QTRY_VERIFY(bar->isVisible());
  auto* edit = Find<QLineEdit>("TextSearchEdit");
  edit->setText(U("返事"));
  QTest::keyClick(edit, Qt::Key_Return);
  // Body of the first reply ("返事です"); the title "Re:..." does not hold it.
  QCOMPARE(GridRow(), static_cast<int>(kRes2));
  QVERIFY(Memo()->textCursor().hasSelection());
  QCOMPARE(Memo()->textCursor().selectedText(), U("返事"));
  window_->FindTextNext();
  QCOMPARE(GridRow(), static_cast<int>(kRes3));
  window_->FindTextNext();
  QCOMPARE(GridRow(), static_cast<int>(kRes11));  // "親がない返事"
  window_->FindTextNext();                        // wraps around
  QCOMPARE(GridRow(), static_cast<int>(kRes2));
  QVERIFY(!Panel("TextSearchStatus").isEmpty());
  window_->FindTextPrevious();
  QCOMPARE(GridRow(), static_cast<int>(kRes11));
  // Writer and title, case-insensitive.
  edit->setText(U("mike"));
  window_->FindTextNext();
  QCOMPARE(GridRow(), static_cast<int>(kTopic4));
  edit->setText(U("質問です"));
  window_->FindTextNext();
  QCOMPARE(GridRow(), static_cast<int>(kQuestion10));
  ClickRow(0);
  edit->setText(U("hello world"));  // in the body, in other case
  window_->FindTextNext();
  QCOMPARE(GridRow(), static_cast<int>(kQuestion10));
  // Not found: a beep, the selection stays.
  edit->setText(U("存在しない言葉"));
  const int beeps = Beeps();
  window_->FindTextNext();
  QCOMPARE(Beeps(), beeps + 1);
  QCOMPARE(GridRow(), static_cast<int>(kQuestion10));
  // On the tree page the tree is searched, in display order.
  Pages()->setCurrentIndex(1);
  edit->setText(U("最初"));
  window_->FindTextNext();
  QCOMPARE(TreeMessage(TreeRow()), static_cast<int>(kTopic1));
  window_->FindTextNext();
  QCOMPARE(TreeMessage(TreeRow()), static_cast<int>(kRes2));
  // The search never marks.
  QVERIFY(fx_->state.read_marks.empty());
  QTest::keyClick(edit, Qt::Key_Escape);
  QTRY_VERIFY(!bar->isVisible());
}

void MessageWindowTest::displaySettingsColourAndFont() {
  fx_ = std::make_unique<MsgFixture>();
  auto& fonts = fx_->state.settings.fonts;
  auto& list = fonts[static_cast<size_t>(tobrisk::Display::LogMessageList)];
  list.back_color = "clNavy";
  list.font_color = "$0000ffff";  // yellow as 00bbggrr
  list.font_size = 14;
  auto& view = fonts[static_cast<size_t>(tobrisk::Display::MessageView)];
  view.back_color = "no colour";  // unknown: the default stays
  view.font_size = 11;
  window_ = std::make_unique<TfrmLogMessage>(fx_->state, fx_->ports);
  QCOMPARE(Grid()->palette().color(QPalette::Base), QColor(0, 0, 128));
  QCOMPARE(Grid()->palette().color(QPalette::Text), QColor(255, 255, 0));
  QCOMPARE(Grid()->font().pointSize(), 14);
  QCOMPARE(Memo()->font().pointSize(), 11);
  QCOMPARE(Memo()->palette().color(QPalette::Base), QApplication::palette(Memo()).color(QPalette::Base));
  QCOMPARE(Grid()->verticalHeader()->defaultSectionSize(), Grid()->fontMetrics().height() + 4);
  // Applied again after the settings changed.
  list.back_color = "clWhite";
  list.font_size = 9;
  window_->ApplyDisplaySettings();
  QCOMPARE(Grid()->palette().color(QPalette::Base), QColor(255, 255, 255));
  QCOMPARE(Grid()->font().pointSize(), 9);
}

void MessageWindowTest::missingWorkFileIsReportedAndViewStaysEmpty() {
  Open(tobrisk::testing::SmallCapture());
  QVERIFY(fx_->prompter.boxes.empty());
  std::remove(fx_->state.WorkFile("NOESC.LOG").c_str());
  ClickRow(kTopic1);
  QCOMPARE(fx_->prompter.boxes.size(), size_t{1});
  QCOMPARE(fx_->prompter.boxes[0].kind, std::string("error"));
  QVERIFY(Memo()->toPlainText().isEmpty());
  QCOMPARE(Panel("NowPanel"), QString::number(kTopic1 + 1));
  // The text search stops at the first failure with one report.
  Find<QLineEdit>("TextSearchEdit")->setText(U("本文"));
  window_->FindTextNext();
  QCOMPARE(fx_->prompter.boxes.size(), size_t{2});
}

void MessageWindowTest::openPageTreeSelectsTheFirstMessage() {
  Open(tobrisk::testing::SmallCapture(), 1);
  QCOMPARE(Pages()->currentIndex(), 1);
  QCOMPARE(TreeRow(), 1);
  QCOMPARE(Panel("NowPanel"), U("0"));
  // Another log open: the tree is emptied first, then refilled.
  window_->ClearMessageGrid();
  window_->ClearMessageTree();
  QCOMPARE(Tree()->model()->rowCount(), 0);
  QCOMPARE(Grid()->model()->rowCount(), 1);
  fx_->Load(tobrisk::testing::SmallCapture());
  fx_->Show(*window_, 7);  // any other value keeps the page
  QCOMPARE(Pages()->currentIndex(), 1);
  QCOMPARE(Tree()->model()->rowCount(), 13);
  QCOMPARE(TreeRow(), -1);
  QCOMPARE(window_->SelectedTreeMessage(), -1);
  window_->SetTitle(S("メッセージ [ ABCD0101.LOG ]"));
  QCOMPARE(window_->windowTitle(), U("メッセージ [ ABCD0101.LOG ]"));
  QCOMPARE(window_->Title(), S("メッセージ [ ABCD0101.LOG ]"));
}

void MessageWindowTest::bigListFillsAndScrollsQuickly() {
  // 300,000 entries built directly (parsing that many belongs to the benchmarks).
  fx_ = std::make_unique<MsgFixture>();
  auto& messages = fx_->state.messages;
  constexpr int kCount = 300000;
  messages.Reserve(kCount);
  const std::string* board = messages.Intern(S("雑談ボード"));
  const std::string* unread = messages.Intern("");
  for (int i = 0; i < kCount; ++i) {
    tobrisk::MessageEntry e;
    const int32_t board_no = 1 + i / 1000;
    e.context = messages.Context({.board_list_no = board_no,
                                  .board_no = board_no,
                                  .board_name = board,
                                  .mark = unread,
                                  .kind = MessageKind::New});
    e.message_no = 1 + i % 1000;
    e.writer_id = 100;
    e.title.Assign(S("タイトル"));
    e.writer_handle.Assign(S("たろう"));
    e.write_date.Assign("03/05");
    messages.Append(e);
  }
  fx_->state.message_tree = tobrisk::BuildMessageTree(messages);
  window_ = std::make_unique<TfrmLogMessage>(fx_->state, fx_->ports);
  window_->resize(800, 600);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  QElapsedTimer timer;
  timer.start();
  window_->FillMessageGrid();
  window_->FillMessageTree();
  window_->ShowOpenPage(0);
  QApplication::processEvents();
  const qint64 fill_ms = timer.elapsed();
  timer.restart();
  window_->MessageLastButtonClick();
  QApplication::processEvents();
  Grid()->verticalScrollBar()->setValue(kCount / 2);
  QApplication::processEvents();
  Pages()->setCurrentIndex(1);
  window_->MessageLastButtonClick();
  QApplication::processEvents();
  const qint64 scroll_ms = timer.elapsed();
  qInfo("300000 entries: fill %lld ms, last row / scroll / last node %lld ms", fill_ms, scroll_ms);
  QCOMPARE(Grid()->model()->rowCount(), kCount);
  QCOMPARE(Tree()->model()->rowCount(), kCount + 2 + 300);
  QCOMPARE(TreeRow(), kCount + 301);
  // Right after a fill the tree's rows are still being laid out: End goes to
  // the last node all the same, and shows it.
  window_->FillMessageTree();
  window_->MessageTopButtonClick();
  QTest::keyClick(Tree(), Qt::Key_End);
  QCOMPARE(TreeRow(), kCount + 301);
  QVERIFY(Tree()->viewport()->rect().contains(Tree()->visualRect(Tree()->currentIndex()).center()));
  QVERIFY2(fill_ms < 3000, "filling 300,000 rows took too long");
  QVERIFY2(scroll_ms < 3000, "moving through 300,000 rows took too long");
}

QTEST_MAIN(MessageWindowTest)
#include "test_message_window.moc"
