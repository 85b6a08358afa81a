// A member's writing day on the real main frame with a stand-in editor: the
// board and member lists imported from a capture, a log opened, replies,
// a reply mail, a moved reply through the board chooser, new messages and
// mails from the board and user grids, edits, deletions and revivals on the
// write page, the UpFile written and written again the same day, and the
// program closed with messages pending. Then the failure paths of the editor
// and the windows staying live while it runs.
#include <functional>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QTextCursor>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QAbstractItemView>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include "board_capture_generator.h"
#include "gui/boards/TfrmBoardUserList.h"
#include "core/boards/board_files.h"
#include "capture_generator.h"
#include "helpers/gui_fixture.h"
#include "helpers/writing_fake_editor.h"
#include "helpers/gui_text.h"
#include "gui/reading/TfrmLogMessage.h"
#include "gui/reading/log_message_model.h"
#include "gui/reading/message_tree_model.h"
#include "core/settings/app_settings.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"
#include "gui/widgets/list_grid.h"
#include "gui/writing/composition_editor.h"
#include "gui/writing/writing_commands.h"

using namespace tobrisk;
using namespace tobrisk::testing;
using tobrisk::gui::SelectGridRow;

namespace {

// The footer of every block on 5 March 1997 for the handle たろう (the default
// MessageFooter, MessageFooterPos 0).
std::string Footer() { return Sjis("[ たろう  with Ｔobrisk95 Ver.1.1 in 1997/03/05 ]"); }

// One UpFile block: its first lines (board selection and command, or the mail
// lines), the title, the body lines, then the footer and the end marks.
std::string Block(const std::vector<std::string>& head, const std::string& title,
                  const std::vector<std::string>& body) {
  std::string out;
  for (const std::string& l : head) out += l + "\r\n";
  out += title + "\r\n";
  for (const std::string& l : body) out += l + "\r\n";
  out += "\r\n" + Footer() + "\r\n/ES\r\nE\r\n";
  return out;
}

// A composition file as the member saves it: the title, then the body.
std::string Saved(const std::string& title, const std::vector<std::string>& body) {
  std::string out = title + "\r\n";
  for (const std::string& l : body) out += l + "\r\n";
  return out;
}

}  // namespace

class TestWritingDay : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainFrameFixture> f_;
  std::unique_ptr<WritingFakeEditor> editor_;
  gui::WritingCommands* writing_ = nullptr;
  QTimer* sentry_ = nullptr;
  QStringList stray_dialogs_;
  int second_ = 0;

  // Nets ABCD "ネットA" (たろう, UPA) and WXYZ "ネットB"; the editor is the
  // stand-in and the UpFiles go to the folder "up".
  void StartDay(const std::string& editor_program, int32_t encoding = kEditorShiftJis) {
    f_->Folder().WriteNets({"ABCD\tネットA\tたろう\tUPA", "WXYZ\tネットB\tじろう\tUPB"});
    MakeDirectory(f_->Folder().Path("up"));
    {
      QtSettingsStore store;
      AppSettings s = DefaultSettings();
      s.editor = editor_program;
      s.editor_encoding = encoding;
      s.up_dir = f_->Folder().Path("up");
      s.Font(tobrisk::Display::WriteMessageList).font_size = 15;
      s.Font(tobrisk::Display::WriteMessageList).back_color = "clYellow";
      SaveSettings(s, store);
    }
    Start();
  }
  // The day started on the small hand-made log with its two boards.
  void StartWithSmallLog() {
    StartDay(editor_->Program());
    f_->Folder().Write("ABCD.BRD", FrameBoardFile());
    OpenLog("ABCD0001.LOG", FrameCapture());
  }
  void OpenLog(const std::string& name, const std::string& bytes) {
    f_->Folder().Write(name, bytes);
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path(name))});
    f_->Trigger("FileOpenItem");
  }
  void Start() {
    f_->Start();
    writing_ = new gui::WritingCommands(f_->Frame());
  }
  static void MakeDirectory(const std::string& path) { QVERIFY(QDir().mkpath(QString::fromStdString(path))); }

  // Each composition gets a file of its own: the clock moves on a second.
  void Tick() {
    ++second_;
    f_->TestClock().now.second = second_ % 60;
    f_->TestClock().now.minute = 34 + second_ / 60;
  }

  gui::TfrmLogMessage& Messages() { return *f_->Frame().LogMessage(); }
  gui::TfrmBoardUserList& Lists() { return *f_->Frame().BoardUserList(); }
  QTableView* ListGrid() { return Messages().findChild<QTableView*>("LogMessageGrid"); }
  QTableView* WriteGrid() { return Messages().WriteGridView(); }
  QPlainTextEdit* Memo() { return Messages().findChild<QPlainTextEdit*>("Memo1"); }
  QAction* UpTextButton() { return f_->Action("UpTextButton"); }
  QString WriteCell(int row, int column) { return WriteGrid()->model()->index(row, column).data().toString(); }
  std::string UpFile() { return f_->Folder().Read("up/UPA0305.TXT"); }

  void SelectMessage(int index) {
    auto* model = static_cast<gui::LogMessageModel*>(ListGrid()->model());
    const int row = model->RowOf(index);
    QVERIFY(row >= 0);
    ListGrid()->setCurrentIndex(model->index(row, gui::LogMessageModel::kMark));
  }
  QString ListMark(int index) {
    auto* model = static_cast<gui::LogMessageModel*>(ListGrid()->model());
    return model->index(model->RowOf(index), gui::LogMessageModel::kMark).data().toString();
  }
  // Opens a pop-up menu by a right-button press and chooses one of its items.
  void ChooseFromPopup(QWidget* viewport, const char* menu_name, const char* item_name) {
    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(5, 5));
    auto* menu = Messages().findChild<QMenu*>(menu_name);
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QAction* item = menu->findChild<QAction*>(item_name);
    QVERIFY(item && item->isEnabled());
    menu->hide();
    item->trigger();
  }
  void SelectWriteRow(int row) { WriteGrid()->setCurrentIndex(WriteGrid()->model()->index(row, 2)); }
  // The write grid's pop-up for a row: which of its items are enabled.
  QString WritePopupState(int row) {
    SelectWriteRow(row);
    QTest::mousePress(WriteGrid()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    auto* menu = Messages().findChild<QMenu*>("WritePopupMenu");
    if (!menu->isVisible()) return QStringLiteral("closed");
    QString state;
    for (const char* name : {"EditItem", "DeleteItem", "ReviveItem"}) {
      state += menu->findChild<QAction*>(name)->isEnabled() ? u'1' : u'0';
    }
    menu->hide();
    return state;
  }
  void ChooseFromWritePopup(int row, const char* item) {
    SelectWriteRow(row);
    ChooseFromPopup(WriteGrid()->viewport(), "WritePopupMenu", item);
  }
  // The board or user grid's pop-up item for its row.
  void ChooseFromGridPopup(QTableView* grid, int row, const char* menu_name, const char* item_name) {
    SelectGridRow(grid, row);
    emit grid->customContextMenuRequested(QPoint(5, 5));
    auto* menu = Lists().findChild<QMenu*>(menu_name);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
    menu->findChild<QAction*>(item_name)->trigger();
  }
  // The chooser picks `row` of its grid as soon as it is shown.
  void ChooserWillPick(int row) {
    WhenModalShown([row](QWidget* modal) {
      auto* grid = modal->findChild<QTableView*>("MoveBoardGrid");
      SelectGridRow(grid, row);
      static_cast<QDialog*>(modal)->accept();
    });
  }
  void ChooserWillCancel() {
    WhenModalShown([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  }
  // Presses a key in a widget.
  static void Type(QWidget* w, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
  }
  // The built-in editor's window while it is open.
  static gui::TfrmCompositionEditor* FindEditor() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* editor = qobject_cast<gui::TfrmCompositionEditor*>(w);
      if (editor && editor->isVisible()) return editor;
    }
    return nullptr;
  }
  // Runs `act` on the built-in editor once it shows, however long the
  // composition takes to open it (a sanitizer build is slow).
  void WhenEditorShown(const std::function<void(gui::TfrmCompositionEditor*)>& act) {
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll, act] {
      gui::TfrmCompositionEditor* window = FindEditor();
      if (!window) return;
      poll->stop();
      poll->deleteLater();
      act(window);
    });
    poll->start(20);
  }
  // The newest composition file in tmp.
  std::string LatestFile() {
    QDir tmp(QString::fromStdString(f_->Folder().Path("tmp")));
    const QStringList names = tmp.entryList({QStringLiteral("*.TXT")}, QDir::Files, QDir::Name);
    return names.isEmpty() ? std::string() : names.last().toStdString();
  }
  QString LastBox() { return f_->BoxTexts().isEmpty() ? QString() : f_->BoxTexts().last(); }
  // The boxes that refused a command because a composition is in the editor.
  int Refusals() {
    return static_cast<int>(
        f_->BoxTexts().count(U("エディタでメッセージを作成中です。\nエディタを終了してから、もう一度行って下さい。")));
  }
  // The day started without a log: net A chosen, its boards in the board window.
  void StartWithoutLog() {
    f_->Folder().Write("ABCD.BRD", FrameBoardFile());
    StartDay(editor_->Program());
    Lists().SelectNet(0);
    Lists().ComboBox1Change();
  }

 private slots:
  void init() {
    f_ = std::make_unique<MainFrameFixture>();
    editor_ = std::make_unique<WritingFakeEditor>();
    second_ = 0;
    stray_dialogs_.clear();
    // No modal dialog may wait for an answer that never comes: one still shown
    // after five seconds is closed and fails the test.
    sentry_ = new QTimer;
    auto ticks = std::make_shared<int>(0);
    connect(sentry_, &QTimer::timeout, this, [this, ticks] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible()) {
        *ticks = 0;
        return;
      }
      if (++*ticks < 25) return;
      *ticks = 0;
      stray_dialogs_ << modal->windowTitle();
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      else modal->close();
    });
    sentry_->start(200);
  }
  void cleanup() {
    delete sentry_;
    sentry_ = nullptr;
    writing_ = nullptr;
    f_.reset();
    editor_.reset();
    CloseAllWindows();
    QVERIFY2(stray_dialogs_.isEmpty(), qPrintable(stray_dialogs_.join(", ")));
  }

  void aWholeDayOfWriting() {
    StartDay(editor_->Program());
    gui::TfrmMain& frame = f_->Frame();
    QVERIFY(!UpTextButton()->isEnabled());
    QCOMPARE(WriteGrid()->model()->rowCount(), 1);  // header and one empty row
    QCOMPARE(WriteGrid()->model()->headerData(1, Qt::Horizontal).toString(), U("削"));
    QCOMPARE(WriteGrid()->font().pointSize(), 15);  // the WriteMessageList display group
    QCOMPARE(WriteGrid()->palette().color(QPalette::Base), QColor(Qt::yellow));

    // Morning: the board and member lists of net A from a capture.
    BoardCaptureOptions lists;
    lists.bbs_boards = 5;
    lists.ibbs_boards = 3;
    lists.skip_share = 0;
    lists.members = 4;
    const BoardCapture board_capture = GenerateBoardCapture(lists);
    f_->Folder().Write("ABCDLIST.LOG", board_capture.bytes);
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path("ABCDLIST.LOG"))});
    f_->Trigger("ImportItem");
    QCOMPARE(f_->Chooser().requests.back().title, U("ボード・ユーザ情報取得"));
    QCOMPARE(f_->BoxTexts(), QStringList({U("ボード情報を更新しました。\r\nユーザ情報を更新しました。")}));
    const BoardList boards = ExpectedBoards(board_capture, 0);
    QCOMPARE(f_->State().boards, boards);
    QCOMPARE(Lists().BoardGridView()->model()->rowCount(), static_cast<int>(boards.size()) + 1);
    QCOMPARE(Lists().UserGridView()->model()->rowCount(), 4);
    f_->ClearBoxes();

    // The day's log.
    CaptureOptions capture;
    capture.boards = 4;
    capture.messages_per_board = 6;
    capture.mails = 3;
    const std::string day_log = GenerateCapture(capture);
    OpenLog("ABCD1207.LOG", day_log);
    const MessageList& messages = f_->State().messages;
    QVERIFY(messages.Size() > 10);
    QCOMPARE(f_->State().boards, boards);  // the log open loaded the imported lists
    QVERIFY(!Lists().NetSelectionEnabled());

    // The messages answered: two on BBS boards (numbered, unread), one mail.
    int reply_to = -1, moved_from = -1, mail = -1;
    for (size_t i = 0; i < messages.Size(); ++i) {
      const MessageEntry& e = messages[i];
      const bool numbered = e.board_no() > 0 && e.message_no > 0 && e.writer_id > 0 && e.Mark().empty();
      if (e.kind() == MessageKind::Mail) {
        if (mail < 0 && e.writer_id > 0) mail = static_cast<int>(i);
      } else if (reply_to < 0 && numbered && (e.board_type() == BoardType::BBS || e.board_type() == BoardType::CUG)) {
        reply_to = static_cast<int>(i);
      } else if (moved_from < 0 && numbered) {
        moved_from = static_cast<int>(i);
      }
    }
    QVERIFY2(reply_to >= 0, "no numbered message on a BBS or CUG board");
    QVERIFY2(moved_from >= 0, "no second numbered message");
    QVERIFY2(mail >= 0, "no mail");
    QVERIFY(reply_to >= 0 && moved_from >= 0 && mail >= 0);
    const MessageEntry& answered = messages[static_cast<size_t>(reply_to)];
    // Its numbers are still needed after the frame (and its list) is gone.
    const int32_t answered_board_no = answered.board_no();
    const int32_t answered_message_no = answered.message_no;
    std::vector<std::string> expected;  // the blocks of the first output

    // 1. A reply from the list's pop-up: the mark turns ● before the editor runs.
    Tick();
    SelectMessage(reply_to);
    editor_->WillWrite(Saved(Sjis("Re:お返事"), {Sjis("了解です。"), Sjis("また明日。")}));
    ChooseFromPopup(ListGrid()->viewport(), "LogMessagePopupMenu", "ResItem");
    QCOMPARE(editor_->Runs(), 1);
    QVERIFY2(editor_->LastSeen().rfind(Sjis("{ここにタイトルを書いて下さい}") + "\r\n", 0) == 0,
             editor_->LastSeen().c_str());
    QCOMPARE(ListMark(reply_to), U("●"));
    QCOMPARE(std::string(answered.Mark()), Sjis("●"));
    QCOMPARE(f_->State().pending_count, 1);
    QVERIFY(UpTextButton()->isEnabled());
    QCOMPARE(WriteCell(0, 0), QStringLiteral("1"));
    QCOMPARE(WriteCell(0, 1), QString());
    QCOMPARE(WriteCell(0, 2), FromSjisTrimmed(std::string(answered.BoardName())));
    QCOMPARE(WriteCell(0, 3), QStringLiteral("RES"));
    QCOMPARE(WriteCell(0, 4), U("Re:お返事"));
    expected.push_back(Block({"B" + DecimalText(answered_board_no), "R" + DecimalText(answered_message_no)},
                             Sjis("Re:お返事"), {Sjis("了解です。"), Sjis("また明日。")}));

    // 2. A reply mail by the R key in the text view: the mail keeps its mark.
    Tick();
    SelectMessage(mail);
    const QString mail_mark = ListMark(mail);
    editor_->WillWrite(Saved(Sjis("Re:メール"), {Sjis("メールの返事")}));
    Type(Memo(), Qt::Key_R, QStringLiteral("r"));
    QCOMPARE(editor_->Runs(), 2);
    QCOMPARE(ListMark(mail), mail_mark);
    QCOMPARE(WriteCell(1, 2), U("MAIL : ") + FromSjisTrimmed(messages[static_cast<size_t>(mail)].writer_handle.Str()));
    expected.push_back(Block({"M", "W", DecimalText(messages[static_cast<size_t>(mail)].writer_id), ""},
                             Sjis("Re:メール"), {Sjis("メールの返事")}));

    // 3. A moved reply by the M key on the list, to the first IBBS board.
    size_t ibbs = 0;
    while (ibbs < boards.size() && boards[ibbs].board_type != "IBBS") ++ibbs;
    QVERIFY(ibbs < boards.size());
    Tick();
    SelectMessage(moved_from);
    editor_->WillRetitle(Sjis("移動して答えます"));
    ChooserWillPick(static_cast<int>(ibbs));
    Type(ListGrid(), Qt::Key_M, QStringLiteral("m"));
    QCOMPARE(editor_->Runs(), 3);
    QCOMPARE(ListMark(moved_from), U("●"));
    QCOMPARE(WriteCell(2, 3), QStringLiteral("Move"));
    QCOMPARE(f_->State().writes[2].target_no, boards[ibbs].board_no);
    QCOMPARE(f_->State().writes[2].res_to_no, std::string("-1"));
    // The quote below the title goes out as the body.
    const std::string moved_file = f_->Folder().Read("tmp/" + f_->State().writes[2].temp_file_name);
    std::vector<std::string> moved_body;
    {
      LineReader reader(f_->Folder().Path("tmp/" + f_->State().writes[2].temp_file_name), LineEnds::Any);
      std::string_view line;
      bool title = true;
      while (reader.Next(line)) {
        if (!title) moved_body.emplace_back(line);
        title = false;
      }
    }
    QVERIFY(moved_body.size() >= 2);
    expected.push_back(Block({"I" + boards[ibbs].board_no, "W"}, Sjis("移動して答えます"), moved_body));

    // 4. A new message from the board grid's pop-up, to the second BBS board.
    size_t bbs = 0;
    int seen_bbs = 0;
    for (; bbs < boards.size(); ++bbs) {
      if (boards[bbs].board_type == "BBS" && boards[bbs].board_no != "0" && ++seen_bbs == 2) break;
    }
    QVERIFY(bbs < boards.size());
    Tick();
    editor_->WillWrite(Saved(Sjis("新しい話題"), {Sjis("はじめます。"), "", Sjis("よろしく。")}));
    ChooseFromGridPopup(Lists().BoardGridView(), static_cast<int>(bbs) + 1, "BoardPopupMenu", "KW1");
    QCOMPARE(editor_->Runs(), 4);
    QCOMPARE(editor_->LastSeen(), Sjis("{ここにタイトルを書いて下さい}") + "\r\n");
    QCOMPARE(WriteCell(3, 3), QStringLiteral("NEW"));
    expected.push_back(
        Block({"B" + boards[bbs].board_no, "W"}, Sjis("新しい話題"), {Sjis("はじめます。"), "", Sjis("よろしく。")}));
    // The mail row offers no pop-up.
    SelectGridRow(Lists().BoardGridView(), 0);
    emit Lists().BoardGridView()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!Lists().findChild<QMenu*>("BoardPopupMenu")->isVisible());

    // 5. A new mail from the user grid's pop-up, saved with the title left as
    //    it was: the entry is added and the member is told.
    Tick();
    editor_->WillKeep();
    ChooseFromGridPopup(Lists().UserGridView(), 1, "UserPopupMenu", "K1");
    QCOMPARE(editor_->Runs(), 5);
    QCOMPARE(LastBox(), U("タイトルが編集されていませんでした。\n確認を行って下さい。"));
    QCOMPARE(f_->Prompter().boxes.back().kind, std::string("info"));
    QCOMPARE(WriteCell(4, 4), U("{ここにタイトルを書いて下さい}"));
    QCOMPARE(WriteCell(4, 2), U("MAIL : ") + FromSjisTrimmed(f_->State().users[1].handle_name));
    QCOMPARE(f_->State().pending_count, 5);

    // 6. The mail is edited from the write page's pop-up: new title, the file
    //    shown again below.
    Tick();
    editor_->WillWrite(Saved(Sjis("ご連絡"), {Sjis("明日の件です。")}));
    ChooseFromWritePopup(4, "EditItem");
    QCOMPARE(editor_->Runs(), 6);
    QCOMPARE(WriteCell(4, 4), U("ご連絡"));
    QCOMPARE(Memo()->toPlainText(), U("ご連絡\n明日の件です。\n"));
    expected.push_back(Block({"M", "W", f_->State().users[1].user_id, ""}, Sjis("ご連絡"), {Sjis("明日の件です。")}));

    // Selecting a row shows its file; the empty row is never selectable here.
    SelectWriteRow(0);
    QCOMPARE(Memo()->toPlainText(), U("Re:お返事\n了解です。\nまた明日。\n"));

    // 7. Delete and revive: the reply mail goes and comes back; the new message
    //    stays deleted and is not output.
    QCOMPARE(WritePopupState(1), QStringLiteral("110"));
    ChooseFromWritePopup(1, "DeleteItem");
    QCOMPARE(WriteCell(1, 1), U("★"));
    QCOMPARE(f_->State().pending_count, 4);
    QCOMPARE(WritePopupState(1), QStringLiteral("001"));
    ChooseFromWritePopup(1, "ReviveItem");
    QCOMPARE(WriteCell(1, 1), QString());
    QCOMPARE(f_->State().pending_count, 5);
    ChooseFromWritePopup(3, "DeleteItem");
    QCOMPARE(f_->State().pending_count, 4);
    expected.erase(expected.begin() + 3);

    // The main menu follows the focused write grid.
    auto* pages = Messages().findChild<QTabWidget*>("PageControl1");
    pages->setCurrentIndex(2);
    SelectWriteRow(3);
    WriteGrid()->setFocus();
    QApplication::setActiveWindow(&frame);
    if (QApplication::focusWidget() == WriteGrid()) {
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      QVERIFY(f_->Action("ReviveMessageItem")->isEnabled());
      QVERIFY(!f_->Action("EditMessageItem")->isEnabled());
      QVERIFY(!f_->Action("DeleteMessageItem")->isEnabled());
      QVERIFY(!f_->Action("ResMessageItem")->isEnabled());
      // Revived and deleted again through the menu.
      f_->Trigger("ReviveMessageItem");
      QCOMPARE(f_->State().pending_count, 5);
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      f_->Trigger("DeleteMessageItem");
      QCOMPARE(f_->State().pending_count, 4);
      QCOMPARE(WriteCell(3, 1), U("★"));
    }
    pages->setCurrentIndex(0);

    // 8. The UpFile: one block per live entry, in order.
    f_->ClearBoxes();
    f_->Trigger("UpTextButton");
    QCOMPARE(f_->BoxTexts(), QStringList({U("アップテキスト出力が完了しました。")}));
    std::string first_output;
    for (const std::string& b : expected) first_output += b;
    QCOMPARE(UpFile(), first_output);
    QCOMPARE(f_->State().pending_count, 0);
    QVERIFY(f_->State().writes.empty());
    QCOMPARE(WriteGrid()->model()->rowCount(), 1);
    QCOMPARE(WriteCell(0, 0), QString());
    QVERIFY(!UpTextButton()->isEnabled());
    QVERIFY(!Lists().NetSelectionEnabled());  // the shown log keeps the window on its net

    // 9. Later the same day: the existing file is kept and the new block added
    //    (No); then a Cancel leaves file and list untouched.
    Tick();
    editor_->WillWrite(Saved(Sjis("追伸"), {Sjis("書き忘れ")}));
    ChooseFromGridPopup(Lists().BoardGridView(), static_cast<int>(bbs) + 1, "BoardPopupMenu", "KW1");
    QVERIFY(!Lists().NetSelectionEnabled());
    f_->ClearBoxes();
    f_->Prompter().answers.push_back(Answer::No);
    f_->Trigger("UpTextButton");
    QCOMPARE(f_->BoxTexts(),
             QStringList({U("同名のアップファイルが存在します。削除しますか？\r\n削除を行わない場合は追加されます。"),
                          U("アップテキスト出力が完了しました。")}));
    const std::string postscript = Block({"B" + boards[bbs].board_no, "W"}, Sjis("追伸"), {Sjis("書き忘れ")});
    QCOMPARE(UpFile(), first_output + postscript);

    Tick();
    editor_->WillWrite(Saved(Sjis("最後に"), {Sjis("おやすみ")}));
    SelectMessage(reply_to);
    ListGrid()->setFocus();
    QApplication::setActiveWindow(&frame);
    if (QApplication::focusWidget() == ListGrid()) {
      // From the main menu, which follows the focused list.
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      QVERIFY(!f_->Action("ResMailItem")->isEnabled());
      f_->Trigger("ResMessageItem");
    } else {
      ChooseFromPopup(ListGrid()->viewport(), "LogMessagePopupMenu", "ResItem");
    }
    QCOMPARE(f_->State().writes.size(), size_t{1});
    f_->Prompter().answers.push_back(Answer::Cancel);
    f_->Trigger("UpTextButton");
    QCOMPARE(UpFile(), first_output + postscript);
    QCOMPARE(f_->State().pending_count, 1);
    QVERIFY(UpTextButton()->isEnabled());
    QCOMPARE(WriteCell(0, 4), U("最後に"));

    // 10. Quitting with a message pending writes it first (here added to the
    //     day's file), without the completion box; the read marks are saved.
    f_->ClearBoxes();
    f_->Prompter().answers.push_back(Answer::No);
    f_->Stop();
    writing_ = nullptr;
    QCOMPARE(
        f_->BoxTexts(),
        QStringList({U("同名のアップファイルが存在します。削除しますか？\r\n削除を行わない場合は追加されます。")}));
    QCOMPARE(UpFile(), first_output + postscript +
                           Block({"B" + DecimalText(answered_board_no), "R" + DecimalText(answered_message_no)},
                                 Sjis("最後に"), {Sjis("おやすみ")}));
    const std::string rad = f_->Folder().Read("ABCD.RAD");
    QVERIFY(rad.find(Sjis("●")) != std::string::npos);

    // The next start: nothing pending, the replied mark back from the .RAD file.
    // (Window and toolbar placement across a restart: test_main_frame.)
    Start();
    QVERIFY(!UpTextButton()->isEnabled());
    QCOMPARE(WriteGrid()->model()->rowCount(), 1);
    OpenLog("ABCD1207.LOG", day_log);
    QCOMPARE(ListMark(reply_to), U("●"));
    QCOMPARE(ListMark(moved_from), U("●"));
  }

  void theEditorsFailuresAreReported() {
    StartWithSmallLog();
    const MessageList& messages = f_->State().messages;
    int board_message = 0;
    while (messages[static_cast<size_t>(board_message)].IsMail()) ++board_message;
    f_->ClearBoxes();

    // The file deleted in the editor: the operation's own abort message, no
    // entry, and no replied mark (no reply was written).
    Tick();
    editor_->WillDelete();
    writing_->ResMessage(board_message, ReplyOrigin::List);
    QCOMPARE(f_->BoxTexts(), QStringList({U("作成されたファイルが存在しません。\nレスを中止します。")}));
    QVERIFY(std::string(messages[static_cast<size_t>(board_message)].Mark()) != Sjis("●"));
    QVERIFY(f_->State().writes.empty());
    QVERIFY(!UpTextButton()->isEnabled());
    QVERIFY(!f_->State().editor_busy);

    // An emptied file is a message with an empty title.
    Tick();
    editor_->WillEmpty();
    writing_->NewMessage(1);
    QCOMPARE(f_->State().writes.size(), size_t{1});
    QCOMPARE(WriteCell(0, 4), QString());
    QCOMPARE(WriteCell(0, 2), U("雑談ボード"));

    // The edited file deleted: reported, the entry unchanged.
    f_->ClearBoxes();
    editor_->WillDelete();
    writing_->EditMessage(0, true);
    QCOMPARE(f_->BoxTexts(), QStringList({U("編集されたメッセージが存在しません。")}));
    QCOMPARE(f_->State().writes.size(), size_t{1});

    // The chooser cancelled: nothing happens and the next moved reply runs.
    f_->ClearBoxes();
    const int runs = editor_->Runs();
    ChooserWillCancel();
    writing_->MoveResMessage(board_message, ReplyOrigin::List);
    QVERIFY(!f_->State().editor_busy);
    QCOMPARE(editor_->Runs(), runs);
    Tick();
    editor_->WillWrite(Saved(Sjis("移動"), {}));
    ChooserWillPick(1);
    writing_->MoveResMessage(board_message, ReplyOrigin::List);
    QCOMPARE(editor_->Runs(), runs + 1);
    QCOMPARE(f_->State().writes.back().target_no, std::string("3"));
    QVERIFY(f_->BoxTexts().isEmpty());

    // An editor that cannot be started: a plain box (no icon), no entry.
    f_->State().settings.editor = f_->Folder().Path("no-such-editor");
    QString plain;
    WhenModalShown([&plain](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) {
        plain = QStringLiteral("not a message box: ") + modal->metaObject()->className();
        return;
      }
      plain = box->text() + (box->icon() == QMessageBox::NoIcon ? "" : " (icon)");
      box->accept();
    });
    Tick();
    writing_->NewMessage(2);
    QCOMPARE(plain, U("指定エディタが起動出来ませんでした。"));
    QCOMPARE(f_->State().writes.size(), size_t{2});
    QVERIFY(f_->BoxTexts().isEmpty());

    // A moved reply without a board list is refused before the chooser.
    f_->State().boards.clear();
    writing_->MoveResMessage(board_message, ReplyOrigin::List);
    QCOMPARE(f_->BoxTexts(), QStringList({U("ボード一覧の取得が行われていないため、移動レスを実行出来ません。")}));

    // The output cancelled at exit keeps the program open with its list.
    f_->Folder().Write("up/UPA0305.TXT", "old");
    f_->Prompter().answers.push_back(Answer::Cancel);
    QVERIFY(!f_->Frame().close());
    QCOMPARE(f_->Folder().Read("up/UPA0305.TXT"), std::string("old"));
    QCOMPARE(f_->State().pending_count, 2);
    // Yes recreates the file at exit; the message whose file was deleted in
    // the editor is reported and left out.
    f_->ClearBoxes();
    f_->Prompter().answers.push_back(Answer::Yes);
    QVERIFY(f_->Frame().close());
    const std::string lost = f_->State().writes.empty() ? std::string() : std::string("not emptied");
    QCOMPARE(lost, std::string());
    QCOMPARE(f_->BoxTexts().size(), 2);
    QVERIFY(f_->BoxTexts()[1].startsWith(U("メッセージテンポファイル[")));
    QVERIFY(f_->BoxTexts()[1].endsWith(U("]が存在しません。\nスキップします。")));
    QCOMPARE(f_->Folder().Read("up/UPA0305.TXT"), Block({"B3", "W"}, Sjis("移動"), {}));
  }

  // The built-in editor (no Editor set) through its window: a reply typed and
  // saved with Ctrl+S, an edit closed with Esc without saving, and an emoji
  // marked and refused.
  void theBuiltInEditorThroughItsWindow() {
    StartDay("");
    f_->Folder().Write("ABCD.BRD", FrameBoardFile());
    OpenLog("ABCD0001.LOG", FrameCapture());
    const MessageList& messages = f_->State().messages;
    int first = 0;
    while (messages[static_cast<size_t>(first)].IsMail()) ++first;

    // 1. A reply: the window is not modal and EditorBusy is set; the title is
    //    typed, the cursor's byte column counts a full-width character as 2, and
    //    Ctrl+S saves Shift-JIS with CR LF and ends the composition.
    bool shown = false, busy = false, modal = true, fixed = false;
    int column = 0;
    std::string prepared;
    WhenEditorShown([&](gui::TfrmCompositionEditor* window) {
      shown = window->isVisible();
      busy = f_->State().editor_busy;
      modal = window->isModal() || QApplication::activeModalWidget() != nullptr;
      prepared = f_->Folder().Read("tmp/" + LatestFile());
      auto* text = window->findChild<QPlainTextEdit*>("EditorText");
      // Fixed pitch: a full-width character is as wide as two half-width ones.
      const QFontMetrics metrics(text->font());
      fixed = metrics.horizontalAdvance(U("あ")) == 2 * metrics.horizontalAdvance(QLatin1Char('0')) &&
              metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
      QTextCursor cursor = text->textCursor();
      cursor.movePosition(QTextCursor::Start);
      cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
      text->setTextCursor(cursor);
      QTest::keyClicks(text, "Re: ");
      text->insertPlainText(U("はじめまして"));
      column = window->CursorByteColumn();
      QTest::keyClick(text, Qt::Key_S, Qt::ControlModifier);
    });
    Tick();
    writing_->ResMessage(first, ReplyOrigin::List);
    QVERIFY(shown);
    QVERIFY(busy);
    QVERIFY(!modal);
    QVERIFY(fixed);
    QCOMPARE(column, 17);  // "Re: " 4 bytes and six full-width characters, then the cursor
    QVERIFY(!FindEditor());
    QVERIFY(!f_->State().editor_busy);
    QCOMPARE(f_->State().writes.size(), size_t{1});
    QCOMPARE(WriteCell(0, 4), U("Re: はじめまして"));
    const std::string name = f_->State().writes[0].temp_file_name;
    const std::string saved = f_->Folder().Read("tmp/" + name);
    QCOMPARE(saved, Sjis("Re: はじめまして") + prepared.substr(prepared.find("\r\n")));
    QVERIFY(f_->BoxTexts().isEmpty());
    // The window's place and size are kept for the next time.
    QVERIFY(f_->ReopenStore()->Read("FormPosition/TfrmCompositionEditor", "Width").has_value());

    // 2. Edited again, changed, closed with Esc: asked first; No leaves the file
    //    and the entry as they were.
    f_->Prompter().answers.push_back(Answer::No);
    WhenEditorShown([&](gui::TfrmCompositionEditor* window) {
      auto* text = window->findChild<QPlainTextEdit*>("EditorText");
      text->insertPlainText(U("消える"));
      QTest::keyClick(text, Qt::Key_Escape);
    });
    writing_->EditMessage(0, false);
    QVERIFY(!FindEditor());
    QCOMPARE(f_->Prompter().boxes.back().kind, std::string("confirm"));
    QCOMPARE(Text(f_->Prompter().boxes.back().text), U("編集した内容を保存しますか？"));
    QCOMPARE(f_->Folder().Read("tmp/" + name), saved);
    QCOMPARE(WriteCell(0, 4), U("Re: はじめまして"));

    // 3. An emoji is marked; Ctrl+S refuses it with a message naming it and the
    //    window stays open; closing without saving keeps the file.
    int marked = 0;
    bool still_open = false;
    f_->ClearBoxes();
    f_->Prompter().answers.push_back(Answer::No);
    WhenEditorShown([&](gui::TfrmCompositionEditor* window) {
      auto* text = window->findChild<QPlainTextEdit*>("EditorText");
      QTextCursor cursor = text->textCursor();
      cursor.movePosition(QTextCursor::Start);
      cursor.movePosition(QTextCursor::Down);
      text->setTextCursor(cursor);
      text->insertPlainText(U("絵文字😀"));
      marked = window->MarkedCharacters();
      QTest::keyClick(text, Qt::Key_S, Qt::ControlModifier);
      still_open = window->isVisible();
      QTest::keyClick(text, Qt::Key_Escape);
    });
    writing_->EditMessage(0, false);
    QCOMPARE(marked, 1);
    QVERIFY(still_open);
    QVERIFY(!FindEditor());
    QVERIFY(!f_->BoxTexts().isEmpty());
    QCOMPARE(f_->BoxTexts().first(), U("2 行目の文字 U+1F600 は Shift-JIS にないため、保存できません。\n"
                                       "印の付いた文字を別の文字に書き換えて下さい。"));
    QCOMPARE(f_->Folder().Read("tmp/" + name), saved);
    QCOMPARE(f_->State().pending_count, 1);
  }

  // An external editor that reads and writes UTF-8 gets a UTF-8 copy; what it
  // saves comes back as Shift-JIS. A character without a Shift-JIS form is
  // refused naming its line: the entry keeps its text, and the next edit gets
  // the user's text back.
  void aUtf8EditorRoundTrip() {
    StartDay(editor_->Program(), kEditorUtf8);
    f_->Folder().Write("ABCD.BRD", FrameBoardFile());
    OpenLog("ABCD0001.LOG", FrameCapture());
    const MessageList& messages = f_->State().messages;
    int first = 0;
    while (messages[static_cast<size_t>(first)].IsMail()) ++first;

    Tick();
    editor_->WillRetitle("Re:こんにちは");  // UTF-8 bytes, as the editor saves them
    writing_->ResMessage(first, ReplyOrigin::List);
    const std::string handed = editor_->LastSeen();
    QVERIFY(handed.starts_with("{ここにタイトルを書いて下さい}\r\n"));  // UTF-8, line ends kept
    QCOMPARE(f_->State().writes.size(), size_t{1});
    const std::string name = f_->State().writes[0].temp_file_name;
    QCOMPARE(WriteCell(0, 4), U("Re:こんにちは"));
    const std::string back = f_->Folder().Read("tmp/" + name);
    QCOMPARE(back, Sjis("Re:こんにちは" + handed.substr(handed.find("\r\n"))));
    QVERIFY(!FileExists(f_->Folder().Path("tmp/utf8/" + name)));  // the copy is gone
    QVERIFY(f_->BoxTexts().isEmpty());

    Tick();
    const std::string with_emoji = "Re:こんにちは\r\n絵文字😀です\r\n";
    editor_->WillWrite(with_emoji);
    writing_->EditMessage(0, false);
    QCOMPARE(f_->BoxTexts(), QStringList({U("メッセージテンポファイル[") + QString::fromStdString(name) +
                                          U("]の2行目にShift-JISで書けない文字(U+1F600)があります。\n"
                                            "メッセージは前の内容のままです。もう一度編集して下さい。")}));
    QCOMPARE(f_->Folder().Read("tmp/" + name), back);
    QCOMPARE(WriteCell(0, 4), U("Re:こんにちは"));

    f_->ClearBoxes();
    editor_->WillWrite("Re:直しました\r\n絵文字です\r\n");
    writing_->EditMessage(0, false);
    QCOMPARE(editor_->LastSeen(), with_emoji);
    QCOMPARE(f_->Folder().Read("tmp/" + name), Sjis("Re:直しました\r\n絵文字です\r\n"));
    QCOMPARE(WriteCell(0, 4), U("Re:直しました"));
    QVERIFY(f_->BoxTexts().isEmpty());
  }

  void theWindowsStayLiveWhileTheEditorRuns() {
    StartWithSmallLog();
    const MessageList& messages = f_->State().messages;
    int first = 0;
    while (messages[static_cast<size_t>(first)].IsMail()) ++first;
    const int second = first + 1;

    bool checked = false;
    int refusals_before = 0;
    QString shown_meanwhile;
    bool closed_meanwhile = true;
    size_t requests_before = 0;
    size_t requests_after = 1;
    QTimer::singleShot(100, this, [&] {
      // The editor runs: EditorBusy is set, the reply commands are refused,
      // reading goes on, and the program refuses to end.
      checked = f_->State().editor_busy;
      refusals_before = Refusals();
      SelectMessage(second);
      shown_meanwhile = Memo()->toPlainText();
      Type(ListGrid(), Qt::Key_R, QStringLiteral("R"));
      Type(Memo(), Qt::Key_M, QStringLiteral("M"));
      writing_->NewMessage(1);
      closed_meanwhile = f_->Frame().close();
      // Opening a log or importing a capture waits for the composition too.
      requests_before = f_->Chooser().requests.size();
      f_->Frame().OpenLogFiles({QString::fromStdString(f_->Folder().Path("ABCD0001.LOG"))});
      f_->Trigger("ImportItem");
      requests_after = f_->Chooser().requests.size();
      editor_->Release();
    });
    Tick();
    editor_->WillWaitThenWrite(Saved(Sjis("待った"), {Sjis("本文")}));
    SelectMessage(first);
    Type(ListGrid(), Qt::Key_R, QStringLiteral("r"));
    QVERIFY(checked);
    QCOMPARE(Refusals() - refusals_before, 6);
    QCOMPARE(requests_after, requests_before);  // no import dialog was shown
    QVERIFY(!shown_meanwhile.isEmpty());
    QVERIFY(!closed_meanwhile);
    QVERIFY(f_->Frame().isVisible());
    QCOMPARE(editor_->Runs(), 1);
    QCOMPARE(f_->State().writes.size(), size_t{1});
    QCOMPARE(f_->State().writes[0].title, Sjis("待った"));
    QVERIFY(!f_->State().editor_busy);
  }

  void theTreeAndTheMainMenuStartCompositionsToo() {
    f_->Folder().Write("ABCD.USR", UserFileText({{"1", "123", PadRight(Sjis("はなこ"), 16)}}));
    StartWithSmallLog();
    const MessageList& messages = f_->State().messages;
    int board_message = 0;
    while (messages[static_cast<size_t>(board_message)].IsMail()) ++board_message;

    // The tree's "レス(&R)": the node shows the replied icon.
    auto* tree = Messages().findChild<QAbstractItemView*>("LogMessageTreeView");
    Messages().findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
    const int node = static_cast<int>(f_->State().message_tree.NodeOfMessage(static_cast<size_t>(board_message)));
    auto choose_from_tree = [&](const char* item) {
      const QModelIndex index = tree->model()->index(node, 0);
      tree->scrollTo(index);
      QTest::mousePress(tree->viewport(), Qt::RightButton, {}, tree->visualRect(index).center());
      auto* menu = Messages().findChild<QMenu*>("LogMessageTreePopupMenu");
      QVERIFY(menu->isVisible());
      menu->hide();
      menu->findChild<QAction*>(item)->trigger();
    };
    Tick();
    editor_->WillWrite(Saved(Sjis("木から"), {Sjis("本文")}));
    choose_from_tree("TreeResItem");
    QCOMPARE(f_->State().writes.size(), size_t{1});
    QCOMPARE(tree->model()->index(node, 0).data(gui::MessageTreeModel::kImageRole).toInt(), 1);
    QCOMPARE(f_->State().writes[0].kind, std::string("RES"));
    // "移動レス(&M)" through the chooser.
    Tick();
    ChooserWillPick(1);
    choose_from_tree("TreeMoveResItem");
    QCOMPARE(f_->State().writes.size(), size_t{2});
    QCOMPARE(f_->State().writes[1].target_no, std::string("3"));

    // The main menu on the focused board grid and user grid.
    QApplication::setActiveWindow(&f_->Frame());
    QTableView* boards = Lists().BoardGridView();
    SelectGridRow(boards, 0);  // the mail row: no new message
    boards->setFocus();
    if (QApplication::focusWidget() == boards) {
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      QVERIFY(!f_->Action("NewMessageItem")->isEnabled());
      SelectGridRow(boards, 2);
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      Tick();
      f_->Trigger("NewMessageItem");
      QCOMPARE(f_->State().writes.back().target_no, std::string("3"));
      QCOMPARE(f_->State().writes.back().kind, std::string("NEW"));
    }
    Lists().findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
    QTableView* users = Lists().UserGridView();
    SelectGridRow(users, 0);
    users->setFocus();
    if (QApplication::focusWidget() == users) {
      emit f_->Find<QMenu>("MessageMenu")->aboutToShow();
      QVERIFY(!f_->Action("NewMessageItem")->isEnabled());
      Tick();
      f_->Trigger("NewMailItem");
      QCOMPARE(f_->State().writes.back().target_no, std::string("123"));
      QCOMPARE(f_->State().writes.back().target_name, "MAIL : " + PadRight(Sjis("はなこ"), 16));
    }

    // An UpFile that cannot be written (its folder is gone) at exit: the file
    // error is shown and the program stays open with its messages.
    const int pending = f_->State().pending_count;
    f_->State().settings.up_dir = f_->Folder().Path("gone");
    f_->ClearBoxes();
    QVERIFY(!f_->Frame().close());
    QCOMPARE(f_->Prompter().boxes.size(), size_t{1});
    QCOMPARE(f_->Prompter().boxes[0].kind, std::string("error"));
    QCOMPARE(f_->State().pending_count, pending);
    QVERIFY(UpTextButton()->isEnabled());
    f_->State().settings.up_dir = f_->Folder().Path("up");
  }

  void upTextAndEveryCommandWaitForTheEditor() {
    StartWithoutLog();
    QVERIFY(Lists().NetSelectionEnabled());
    Tick();
    editor_->WillWrite(Saved(Sjis("一通目"), {Sjis("本文")}));
    writing_->NewMessage(1);
    QCOMPARE(f_->State().pending_count, 1);

    // A second new message waits in the editor; meanwhile the up-text output,
    // closing, opening, importing and a third composition are refused, each
    // with the reason, and the net selector stays locked.
    QStringList boxes_meanwhile;
    size_t writes_meanwhile = 0;
    bool selector_meanwhile = true;
    bool closed_meanwhile = true;
    QTimer::singleShot(100, this, [&] {
      f_->ClearBoxes();
      f_->Trigger("UpTextButton");
      closed_meanwhile = f_->Frame().close();
      f_->Frame().OpenLogFiles({QString::fromStdString(f_->Folder().Path("ABCD0001.LOG"))});
      f_->Trigger("ImportItem");
      writing_->NewMessage(1);
      boxes_meanwhile = f_->BoxTexts();
      writes_meanwhile = f_->State().writes.size();
      selector_meanwhile = Lists().NetSelectionEnabled();
      editor_->Release();
    });
    Tick();
    editor_->WillWaitThenWrite(Saved(Sjis("二通目"), {Sjis("待った本文")}));
    writing_->NewMessage(2);
    QCOMPARE(Refusals(), 5);
    QCOMPARE(boxes_meanwhile.size(), 5);
    QCOMPARE(writes_meanwhile, size_t{1});
    QVERIFY(!selector_meanwhile);
    QVERIFY(!closed_meanwhile);
    QVERIFY(!QFile::exists(QString::fromStdString(f_->Folder().Path("up/UPA0305.TXT"))));
    // The edit that came back is in the list and reaches the upload file.
    QCOMPARE(f_->State().writes.size(), size_t{2});
    QVERIFY(!Lists().NetSelectionEnabled());
    f_->Trigger("UpTextButton");
    QVERIFY(UpFile().find(Sjis("待った本文")) != std::string::npos);
    QVERIFY(Lists().NetSelectionEnabled());
  }

  void pendingMessagesWithoutALogKeepTheirNet() {
    StartWithoutLog();
    Tick();
    editor_->WillWrite(Saved(Sjis("題"), {Sjis("本文")}));
    writing_->NewMessage(1);
    QCOMPARE(f_->State().pending_count, 1);
    QCOMPARE(Messages().windowTitle(), U("メッセージ"));

    // No log is shown: a capture of the pending messages' net is taken...
    f_->ClearBoxes();
    f_->Folder().Write("ABCDLIST.LOG", GenerateBoardCapture(BoardCaptureOptions{}).bytes);
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path("ABCDLIST.LOG"))});
    f_->Trigger("ImportItem");
    QCOMPARE(f_->BoxTexts(), QStringList({U("ボード情報を更新しました。\r\nユーザ情報を更新しました。")}));
    // ...and a log of another net still waits for the output.
    f_->ClearBoxes();
    OpenLog("WXYZ0001.LOG", FrameCapture());
    QCOMPARE(
        f_->BoxTexts(),
        QStringList({U(
            "現在書き込み中のネット以外のログファイルは読み込み出来ません。\nアップファイルを出力後、読み込みを行って下さい。")}));
    QVERIFY(f_->State().messages.Empty());
    f_->ClearBoxes();
    OpenLog("ABCD0001.LOG", FrameCapture());
    QVERIFY2(f_->BoxTexts().isEmpty(), qPrintable(f_->BoxTexts().join('|')));
    QCOMPARE(f_->State().messages.Size(), size_t{5});
    QCOMPARE(f_->State().pending_count, 1);
  }

  void importOfAnotherNetWaitsForTheUpText() {
    StartWithSmallLog();
    Tick();
    editor_->WillWrite(Saved(Sjis("題"), {Sjis("本文")}));
    writing_->NewMessage(2);
    QCOMPARE(f_->State().pending_count, 1);

    BoardCaptureOptions o;
    o.ibbs_list = false;
    o.bbs_boards = 3;
    o.members = 2;
    f_->Folder().Write("WXYZLIST.LOG", GenerateBoardCapture(o).bytes);
    f_->ClearBoxes();
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path("WXYZLIST.LOG"))});
    f_->Trigger("ImportItem");
    QCOMPARE(
        f_->BoxTexts(),
        QStringList({U(
            "現在書き込み中のネット以外のログファイルは読み込み出来ません。\nアップファイルを出力後、読み込みを行って下さい。")}));
    QCOMPARE(Lists().BoardGridView()->model()->rowCount(), 3);  // mail row and the two boards of net A
    QVERIFY(!QFile::exists(QString::fromStdString(f_->Folder().Path("WXYZ.BRD"))));

    // After the output the capture is taken into net B's files; the board
    // window stays with the shown log's net A, so that what is written from it
    // goes out for net A.
    f_->Trigger("UpTextButton");
    f_->ClearBoxes();
    f_->Chooser().file_answers.push_back({QString::fromStdString(f_->Folder().Path("WXYZLIST.LOG"))});
    f_->Trigger("ImportItem");
    QCOMPARE(f_->BoxTexts(), QStringList({U("ボード情報を更新しました。\r\nユーザ情報を更新しました。")}));
    QVERIFY(QFile::exists(QString::fromStdString(f_->Folder().Path("WXYZ.BRD"))));
    QCOMPARE(Lists().SelectedNet(), 0);
    QVERIFY(!Lists().NetSelectionEnabled());
    QCOMPARE(Lists().BoardGridView()->model()->rowCount(), 3);
    QCOMPARE(f_->State().boards, ReadBoards("ABCD"));
    QCOMPARE(f_->State().settings.default_net, 0);
    QCOMPARE(f_->State().current_log_header, std::string("ABCD"));
    Tick();
    editor_->WillWrite(Saved(Sjis("Aへ"), {Sjis("本文")}));
    ChooseFromGridPopup(Lists().BoardGridView(), 2, "BoardPopupMenu", "KW1");
    f_->Prompter().answers.push_back(Answer::No);
    f_->Trigger("UpTextButton");
    QVERIFY(UpFile().find("B3\r\nW\r\n" + Sjis("Aへ")) != std::string::npos);
    QVERIFY(!QFile::exists(QString::fromStdString(f_->Folder().Path("up/UPB0305.TXT"))));
  }

 private:
  BoardList ReadBoards(const std::string& header) {
    BoardList boards;
    UserList users;
    ReadExistingBoardUserFiles(boards, users, f_->Folder().Dir(), header, f_->Prompter());
    return boards;
  }
  static QString FromSjisTrimmed(const std::string& sjis) {
    QString s = QString::fromStdString(SjisToUtf8(sjis));
    while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\u3000')) s.chop(1);
    return s;
  }
};

QTEST_MAIN(TestWritingDay)
#include "test_writing_day.moc"
