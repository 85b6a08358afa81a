#include "gui/reading/TfrmLogMessage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/reading/message_text.h"
#include "core/reading/read_marks.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"
#include "core/writing/write_list.h"
#include "gui/reading/display_settings.h"
#include "gui/reading/log_message_model.h"
#include "gui/reading/message_keys.h"
#include "gui/reading/message_list_page.h"
#include "gui/reading/message_tree_page.h"
#include "gui/reading/text_search.h"
#include "gui/widgets/error_report.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/writing/write_page.h"

namespace tobrisk::gui {
namespace {

// Pages of PageControl1.
constexpr int kListPage = 0;
constexpr int kTreePage = 1;
constexpr int kWritePage = 2;

}  // namespace

TfrmLogMessage::TfrmLogMessage(WorkState& state, const Ports& ports, QWidget* parent)
    : QWidget(parent), state_(state), ports_(ports) {
  setObjectName("TfrmLogMessage");
  title_sjis_ = Sjis("メッセージ");
  setWindowTitle(FromSjis(title_sjis_));
  BuildControls();
  ConnectPages();
  ApplyDisplaySettings();
  resize(640, 480);
}

TfrmLogMessage::~TfrmLogMessage() = default;

// ---------------------------------------------------------------------------
// Controls

void TfrmLogMessage::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  Splitter = new QSplitter(Qt::Vertical, this);
  Splitter->setObjectName("Splitter");
  Splitter->setHandleWidth(2);
  // Dragging shows a line and moves the bar on release.
  Splitter->setOpaqueResize(false);
  outer->addWidget(Splitter);

  MessageListPanel = new QWidget(Splitter);
  MessageListPanel->setObjectName("MessageListPanel");
  auto* list_layout = new QVBoxLayout(MessageListPanel);
  list_layout->setContentsMargins(0, 0, 0, 0);
  PageControl1 = new QTabWidget(MessageListPanel);
  PageControl1->setObjectName("PageControl1");
  list_layout->addWidget(PageControl1);
  list_page_ = new MessageListPage(state_, ports_);
  PageControl1->addTab(list_page_, Utf("ログメッセージ"));
  tree_page_ = new MessageTreePage(state_, ports_);
  PageControl1->addTab(tree_page_, Utf("ログメッセージツリー"));
  write_page_ = new WritePage(state_);
  PageControl1->addTab(write_page_, Utf("書き込み"));
  PageControl1->setCurrentIndex(kListPage);

  // Text view and the search bar.
  MessagePanel = new QWidget(Splitter);
  MessagePanel->setObjectName("MessagePanel");
  auto* text_layout = new QVBoxLayout(MessagePanel);
  text_layout->setContentsMargins(0, 0, 0, 0);
  text_layout->setSpacing(0);
  Memo1 = new QPlainTextEdit(MessagePanel);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setUndoRedoEnabled(false);
  text_layout->addWidget(Memo1, 1);
  search_ = new MessageTextSearch(MessagePanel);
  search_->hide();
  text_layout->addWidget(search_);

  Splitter->addWidget(MessageListPanel);
  Splitter->addWidget(MessagePanel);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({154, 326});

  connect(PageControl1, &QTabWidget::currentChanged, this, &TfrmLogMessage::PageControl1Change);
  connect(search_, &MessageTextSearch::FindRequested, this, [this](bool forward) { FindText(forward); });
  connect(search_, &MessageTextSearch::Closed, this, [this] {
    if (TreePageActive()) tree_page_->Tree()->setFocus();
    else list_page_->Grid()->setFocus();
  });
  Memo1->installEventFilter(this);

  auto* find = new QShortcut(QKeySequence::Find, this, this, &TfrmLogMessage::ShowTextSearch);
  find->setContext(Qt::WidgetWithChildrenShortcut);
  auto* next = new QShortcut(QKeySequence::FindNext, this, this, &TfrmLogMessage::FindTextNext);
  next->setContext(Qt::WidgetWithChildrenShortcut);
  auto* previous = new QShortcut(QKeySequence::FindPrevious, this, this, &TfrmLogMessage::FindTextPrevious);
  previous->setContext(Qt::WidgetWithChildrenShortcut);
}

void TfrmLogMessage::ConnectPages() {
  // What the pages choose: the text to show, the marks, the page.
  connect(list_page_, &MessageListPage::MessageChosen, this, &TfrmLogMessage::ShowChosenMessage);
  connect(tree_page_, &MessageTreePage::MessageChosen, this, &TfrmLogMessage::ShowChosenMessage);
  connect(write_page_, &WritePage::EntryChosen, this,
          [this](int entry) { ShowWrittenMessage(static_cast<size_t>(entry)); });
  connect(list_page_, &MessageListPage::MarkChosen, this,
          [this](int index, std::string_view mark) { SetMark(static_cast<size_t>(index), mark); });
  connect(tree_page_, &MessageTreePage::MarkChosen, this,
          [this](int index, std::string_view mark) { SetMark(static_cast<size_t>(index), mark); });
  connect(list_page_, &MessageListPage::PageWanted, this, [this] { ActivatePage(kListPage); });
  connect(list_page_, &MessageListPage::ColumnsChanged, this, &TfrmLogMessage::FormResize);

  // The pages' commands are the window's.
  connect(list_page_, &MessageListPage::ResMessageRequested, this, &TfrmLogMessage::ResMessageRequested);
  connect(list_page_, &MessageListPage::ResMailRequested, this, &TfrmLogMessage::ResMailRequested);
  connect(list_page_, &MessageListPage::MoveResMessageRequested, this, &TfrmLogMessage::MoveResMessageRequested);
  connect(list_page_, &MessageListPage::SaveTextRequested, this, &TfrmLogMessage::SaveTextRequested);
  connect(tree_page_, &MessageTreePage::ResMessageRequested, this, &TfrmLogMessage::ResMessageRequested);
  connect(tree_page_, &MessageTreePage::ResMailRequested, this, &TfrmLogMessage::ResMailRequested);
  connect(tree_page_, &MessageTreePage::MoveResMessageRequested, this, &TfrmLogMessage::MoveResMessageRequested);
  connect(tree_page_, &MessageTreePage::SaveTextRequested, this, &TfrmLogMessage::SaveTextRequested);
  connect(write_page_, &WritePage::EditMessageRequested, this, &TfrmLogMessage::EditMessageRequested);
  connect(write_page_, &WritePage::DeleteMessageRequested, this, &TfrmLogMessage::DeleteMessageRequested);
  connect(write_page_, &WritePage::ReviveMessageRequested, this, &TfrmLogMessage::ReviveMessageRequested);
}

// ---------------------------------------------------------------------------
// Display settings, title, counters

void TfrmLogMessage::ApplyDisplaySettings() {
  list_page_->ApplyDisplaySettings();
  write_page_->ApplyDisplaySettings();
  ApplyFontGroup(Memo1, state_.settings.Font(Display::MessageView));
  // The selection of the text view stays visible while another control has the focus.
  QPalette palette = Memo1->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  Memo1->setPalette(palette);
}

void TfrmLogMessage::SetTitle(const std::string& sjis, const QString& shown) {
  title_sjis_ = sjis;
  setWindowTitle(shown.isEmpty() ? FromSjis(sjis) : shown);
}

void TfrmLogMessage::SetCounters(int64_t all_count, int64_t now_row) { list_page_->SetCounters(all_count, now_row); }

void TfrmLogMessage::ClearMessageText() { Memo1->clear(); }

// ---------------------------------------------------------------------------
// Grid and tree filling

void TfrmLogMessage::ClearMessageGrid() { list_page_->Clear(); }
void TfrmLogMessage::FillMessageGrid() { list_page_->FillAll(); }

int TfrmLogMessage::FillBoardMessageGrid(std::string_view board_type, std::string_view board_no) {
  return list_page_->FillBoard(board_type, board_no);
}

void TfrmLogMessage::ClearMessageTree() { tree_page_->Clear(); }
void TfrmLogMessage::FillMessageTree() { tree_page_->Fill(); }
void TfrmLogMessage::CompleteMessageTree() { tree_page_->CompleteTree(); }

// ---------------------------------------------------------------------------
// Selection and text

void TfrmLogMessage::ShowChosenMessage(int index) {
  Memo1->clear();
  if (index >= 0) ShowMessageText(static_cast<size_t>(index));
}

void TfrmLogMessage::ShowMessageText(size_t index) {
  Memo1->clear();
  if (index >= state_.messages.Size()) return;
  try {
    ShowText(ReadMessageText(state_, index).bytes);
  } catch (const IoError& e) {
    ReportError(*ports_.prompter, e);
  }
}

void TfrmLogMessage::ShowText(std::string_view sjis) {
  QString shown = FromSjis(sjis);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  Memo1->setPlainText(shown);
}

int TfrmLogMessage::SelectedListMessage() const { return list_page_->SelectedMessage(); }
int TfrmLogMessage::SelectedTreeMessage() const { return tree_page_->SelectedMessage(); }
int TfrmLogMessage::ShownMessage() const { return TreePageActive() ? SelectedTreeMessage() : SelectedListMessage(); }

void TfrmLogMessage::PageControl1Change(int page) {
  if (page == kListPage) list_page_->LogMessageGridClick();
  if (page == kWritePage) write_page_->WriteGridClick();
}

void TfrmLogMessage::ActivatePage(int page) {
  const QSignalBlocker quiet(PageControl1);
  PageControl1->setCurrentIndex(page);
}

bool TfrmLogMessage::TreePageActive() const { return PageControl1->currentIndex() == kTreePage; }
bool TfrmLogMessage::ListPageActive() const { return PageControl1->currentIndex() == kListPage; }

void TfrmLogMessage::ShowOpenPage(int open_page) {
  if (open_page == 0) {
    ActivatePage(kListPage);
    if (!state_.messages.Empty()) list_page_->SelectRow(0);
  } else if (open_page == 1) {
    ActivatePage(kTreePage);
    tree_page_->SelectTop();
  }
}

// ---------------------------------------------------------------------------
// The write page

QTableView* TfrmLogMessage::WriteGridView() const { return write_page_->Grid(); }
int TfrmLogMessage::SelectedWriteEntry() const { return write_page_->SelectedEntry(); }
void TfrmLogMessage::AddWriteRow(size_t write_index) { write_page_->AddRow(write_index); }
void TfrmLogMessage::RefreshWriteRow(size_t write_index) { write_page_->RefreshRow(write_index); }
void TfrmLogMessage::ClearWriteGrid() { write_page_->Clear(); }

void TfrmLogMessage::ShowWrittenMessage(size_t write_index) {
  Memo1->clear();
  if (write_index >= state_.writes.size()) return;
  try {
    ShowText(WrittenMessageText(state_, write_index));
  } catch (const IoError& e) {
    ReportError(*ports_.prompter, e);
  }
}

// ---------------------------------------------------------------------------
// Filter modes and the resize rule

void TfrmLogMessage::ShowAllMessages() { list_page_->ShowAllMessages(); }

int TfrmLogMessage::FilterByBoard(std::string_view board_type, std::string_view board_no,
                                  std::string_view board_name_sjis) {
  return list_page_->FilterByBoard(board_type, board_no, board_name_sjis);
}

void TfrmLogMessage::FormResize() {
  list_page_->FitTitleColumn(width());
  write_page_->FitTitleColumn(width());
}

void TfrmLogMessage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

// ---------------------------------------------------------------------------
// Read marks

void TfrmLogMessage::SetMark(size_t index, std::string_view mark) {
  SetReadMark(state_, index, mark);
  tree_page_->SyncIcon(index);
  list_page_->MarksChanged();
  emit ReadMarksChanged();
}

void TfrmLogMessage::RefreshMarks() {
  tree_page_->RefreshIcons();
  list_page_->MarksChanged();
}

void TfrmLogMessage::MarkReplied(size_t message_index, ReplyOrigin) {
  if (message_index >= state_.messages.Size()) return;
  SetMark(message_index, kRepliedMark);
}

// ---------------------------------------------------------------------------
// Navigation and searches

void TfrmLogMessage::MessageTopButtonClick() {
  if (ListPageActive()) {
    list_page_->SelectRow(0);
  } else if (TreePageActive()) {
    tree_page_->SelectTop();
  }
}

void TfrmLogMessage::MessageLastButtonClick() {
  if (ListPageActive()) {
    list_page_->SelectRow(list_page_->RowCount() - 1);
  } else if (TreePageActive()) {
    tree_page_->SelectLast();
  }
}

void TfrmLogMessage::MessageUpButtonClick() { StepMessage(-1); }
void TfrmLogMessage::MessageDownButtonClick() { StepMessage(1); }

void TfrmLogMessage::StepMessage(int step) {
  if (ListPageActive()) {
    list_page_->Step(step);
  } else if (TreePageActive()) {
    tree_page_->Step(step);
  }
}

void TfrmLogMessage::FindNextByMark(int icon) {
  if (TreePageActive()) tree_page_->FindNextByMark(icon);
}

void TfrmLogMessage::FindNoReadButtonClick() { FindNextByMark(kIconUnread); }
void TfrmLogMessage::FindAlreadyButtonClick() { FindNextByMark(kIconRead); }
void TfrmLogMessage::FindAlreadyResButtonClick() { FindNextByMark(kIconReplied); }
void TfrmLogMessage::FindAlreadyCheckButtonClick() { FindNextByMark(kIconChecked); }

// ---------------------------------------------------------------------------
// Text search

void TfrmLogMessage::ShowTextSearch() { search_->Open(); }

void TfrmLogMessage::FindTextNext() { FindText(true); }
void TfrmLogMessage::FindTextPrevious() { FindText(false); }

void TfrmLogMessage::FindText(bool forward) {
  const QString needle = search_->Needle();
  if (needle.isEmpty() || searching_) {
    search_->Open();
    return;
  }
  search_->show();
  const bool tree = TreePageActive();
  if (!tree && !ListPageActive()) ActivatePage(kListPage);
  const LogMessageModel& list = list_page_->Model();
  const int count = tree ? tree_page_->Nodes() : list.MessageRows();
  const int start = tree ? tree_page_->CurrentRow() : list_page_->CurrentRow();
  const size_t size_before = state_.messages.Size();
  auto message_at = [this, tree, &list](int position) {
    if (tree) return tree_page_->Nodes() > position ? static_cast<int>(state_.message_tree.MessageIndex(position)) : -1;
    return list.MessageAt(position);
  };
  TextSearchResult result;
  {
    const QScopedValueRollback<bool> searching(searching_, true);
    search_->SetSearching(true);
    search_->SetStatus(Utf("検索中..."));
    try {
      result = FindMessageText(state_, count, message_at, start, forward, needle, [&] {
        QApplication::processEvents();
        // A log opened meanwhile ends the search. (The tree is rebuilt in place:
        // only the counts tell; a log of the same counts is searched on, and the
        // positions found are its own.)
        return !search_->StopRequested() && state_.messages.Size() == size_before &&
               (tree ? tree_page_->Nodes() : list.MessageRows()) == count;
      });
    } catch (const IoError& e) {
      search_->SetSearching(false);
      search_->SetStatus(QString());
      ReportError(*ports_.prompter, e);
      return;
    }
    search_->SetSearching(false);
  }
  if (result.stopped) {
    search_->SetStatus(Utf("検索を中止しました"));
    return;
  }
  if (result.position < 0) {
    search_->SetStatus(Utf("見つかりませんでした"));
    ports_.prompter->Beep();
    return;
  }
  if (tree) {
    tree_page_->SelectRow(result.position);
  } else {
    list_page_->SelectRow(result.position);
    list_page_->Grid()->setFocus();
  }
  search_->SetStatus(result.wrapped ? (forward ? Utf("先頭から検索しました") : Utf("末尾から検索しました"))
                                    : QString());
  // Show the first occurrence in the text, when the match is in the text.
  QTextCursor cursor(Memo1->document());
  Memo1->setTextCursor(cursor);
  if (Memo1->find(needle)) Memo1->ensureCursorVisible();
}

// ---------------------------------------------------------------------------
// Menu enabling

MessageMenuState TfrmLogMessage::UpdateMessageMenu() const {
  return gui::UpdateMessageMenu(QApplication::focusWidget());
}

// ---------------------------------------------------------------------------
// The text view's keys: they act on the message it shows, the list's row on
// the list page, the tree's node on the tree page, nothing for a written message.

bool TfrmLogMessage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo1 && event->type() == QEvent::KeyPress) {
    const MessageKey key = ReadMessageKey(static_cast<QKeyEvent*>(event), false);
    if (key.Any()) {
      if (ListPageActive()) list_page_->HandleKey(key, true);
      if (TreePageActive()) tree_page_->HandleTextKey(key);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tobrisk::gui
