#include "gui/reading/message_list_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QVBoxLayout>

#include "core/reading/read_marks.h"
#include "core/reading/reply_permission.h"
#include "gui/reading/display_settings.h"
#include "gui/reading/log_message_model.h"
#include "gui/reading/message_keys.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/widgets/list_grid.h"
#include "gui/widgets/popup_menu.h"
#include "gui/writing/editor_busy.h"

namespace tobrisk::gui {
namespace {

QLabel* MakePanel(QWidget* parent, const char* name, const QString& text) {
  auto* panel = new QLabel(text, parent);
  panel->setObjectName(name);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setAlignment(Qt::AlignCenter);
  panel->setMargin(1);
  return panel;
}

}  // namespace

MessageListPage::MessageListPage(WorkState& state, const Ports& ports, QWidget* parent)
    : QWidget(parent), state_(state), ports_(ports) {
  setObjectName("TabSheet1");
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(2, 2, 2, 2);
  page->setSpacing(2);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(4);
  AllMessageRadioButton = new QRadioButton(QString::fromUtf8("全件"), this);
  AllMessageRadioButton->setObjectName("AllMessageRadioButton");
  AllMessageRadioButton->setChecked(true);
  BoardRadioButton = new QRadioButton(QString::fromUtf8("ボード単位"), this);
  BoardRadioButton->setObjectName("BoardRadioButton");
  BoardNamePanel = MakePanel(this, "BoardNamePanel", QString());
  BoardNamePanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  NowPanel = MakePanel(this, "NowPanel", QStringLiteral("0"));
  AllPanel = MakePanel(this, "AllPanel", QStringLiteral("0"));
  for (QLabel* counter : {NowPanel, AllPanel}) {
    counter->setMinimumWidth(counter->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 6);
    counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  auto* colon = new QLabel(QString::fromUtf8("："), this);
  colon->setObjectName("ColonLabel");
  bar->addWidget(AllMessageRadioButton);
  bar->addWidget(BoardRadioButton);
  bar->addWidget(BoardNamePanel, 1);
  bar->addWidget(NowPanel);
  bar->addWidget(colon);
  bar->addWidget(AllPanel);
  page->addLayout(bar);

  model_ = new LogMessageModel(state_.messages, this);
  LogMessageGrid = new QTableView(this);
  LogMessageGrid->setModel(model_);
  SetUpGrid(LogMessageGrid, "LogMessageGrid", {0, 140, 26, 48, 35, 135, 161});
  LogMessageGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  LogMessageGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  LogMessageGrid->setColumnHidden(LogMessageModel::kBoardNo, true);
  page->addWidget(LogMessageGrid, 1);

  connect(AllMessageRadioButton, &QRadioButton::clicked, this, &MessageListPage::AllMessageRadioButtonClick);
  connect(BoardRadioButton, &QRadioButton::clicked, this, &MessageListPage::BoardRadioButtonClick);
  connect(LogMessageGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!silent_) LogMessageGridClick();
  });
  connect(LogMessageGrid, &QTableView::doubleClicked, this, [this] { MarkRowRead(); });
  LogMessageGrid->installEventFilter(this);
  // The menu is for the row already selected: the pointer does not select.
  PopupFilter::Install(LogMessageGrid, [this](const QPoint&, const QPoint& global_pos) { OpenPopup(global_pos); });
  BuildPopup();
}

void MessageListPage::BuildPopup() {
  LogMessagePopupMenu = new QMenu(this);
  LogMessagePopupMenu->setObjectName("LogMessagePopupMenu");
  ResItem = AddMenuItem(LogMessagePopupMenu, "ResItem", "レス(&R)");
  MoveResItem = AddMenuItem(LogMessagePopupMenu, "MoveResItem", "移動レス(&M)");
  LogMessagePopupMenu->addSeparator();
  ReadItem = AddMenuItem(LogMessagePopupMenu, "ReadItem", "○：読み込み済み(&A)");
  ResWrittenItem = AddMenuItem(LogMessagePopupMenu, "ResWrittenItem", "●：レス書き込み済み(&W)");
  CheckItem = AddMenuItem(LogMessagePopupMenu, "CheckItem", "★：チェック済み(&D)");
  for (QAction* mark : {ReadItem, ResWrittenItem, CheckItem}) {
    mark->setCheckable(true);
    connect(mark, &QAction::triggered, this, [this, mark] { PopupMarkClick(mark); });
  }
  connect(ResItem, &QAction::triggered, this, [this] {
    const int message = ReplyTarget();
    if (message < 0) return;
    if (state_.messages[static_cast<size_t>(message)].kind() == MessageKind::Mail) {
      emit ResMailRequested(message, ReplyOrigin::List);
    } else {
      emit ResMessageRequested(message, ReplyOrigin::List);
    }
  });
  connect(MoveResItem, &QAction::triggered, this, [this] {
    const int message = ReplyTarget();
    if (message >= 0) emit MoveResMessageRequested(message, ReplyOrigin::List);
  });
  LogMessagePopupMenu->addSeparator();
  QAction* save = AddMenuItem(LogMessagePopupMenu, "SaveTextItem", "テキストで保存...");
  connect(save, &QAction::triggered, this, [this] { emit SaveTextRequested(SelectedMessage(), false); });
}

// ---------------------------------------------------------------------------
// Filling and the counters

void MessageListPage::Clear() {
  if (state_.messages.Empty()) return;
  model_->Clear();
}

void MessageListPage::FillAll() {
  if (state_.messages.Empty()) return;
  model_->FillAll();
  SetCurrentRowSilently(0);
}

int MessageListPage::FillBoard(std::string_view board_type, std::string_view board_no) {
  if (state_.messages.Empty()) return 0;
  const int rows = model_->FillBoard(board_type, board_no);
  SetCurrentRowSilently(0);
  return rows;
}

void MessageListPage::SetCounters(int64_t all_count, int64_t now_row) {
  AllPanel->setText(QString::number(all_count));
  NowPanel->setText(QString::number(now_row));
}

void MessageListPage::SetCurrentRowSilently(int row) {
  const QScopedValueRollback<bool> silent(silent_, true);
  LogMessageGrid->setCurrentIndex(model_->index(row, VisibleColumn()));
  LogMessageGrid->scrollTo(LogMessageGrid->currentIndex());
}

int MessageListPage::VisibleColumn() const {
  const int current = LogMessageGrid->currentIndex().column();
  if (current >= 0 && !LogMessageGrid->isColumnHidden(current)) return current;
  return LogMessageModel::kMark;
}

void MessageListPage::MarksChanged() { model_->MarksChanged(); }

// ---------------------------------------------------------------------------
// Selection

int MessageListPage::RowCount() const { return model_->rowCount(); }

int MessageListPage::CurrentRow() const {
  const QModelIndex current = LogMessageGrid->currentIndex();
  return current.isValid() ? current.row() : -1;
}

int MessageListPage::RowMessage(int row) const { return model_->MessageAt(row); }

int MessageListPage::SelectedMessage() const { return RowMessage(CurrentRow()); }

void MessageListPage::SelectRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  if (row == CurrentRow()) {
    LogMessageGridClick();
  } else {
    LogMessageGrid->setCurrentIndex(model_->index(row, VisibleColumn()));
  }
  LogMessageGrid->scrollTo(model_->index(row, VisibleColumn()));
}

void MessageListPage::Step(int step) {
  const int target = CurrentRow() + step;
  if (target < 0 || target >= RowCount()) {
    ports_.prompter->Beep();
    return;
  }
  SelectRow(target);
}

void MessageListPage::LogMessageGridClick() {
  NowPanel->setText(QStringLiteral("0"));
  const int row = CurrentRow();
  const int message = RowMessage(row);
  if (message >= 0) NowPanel->setText(QString::number(row + 1));
  emit MessageChosen(message);
}

// ---------------------------------------------------------------------------
// Filter modes

void MessageListPage::AllMessageRadioButtonClick() {
  LogMessageGrid->setColumnHidden(LogMessageModel::kBoardName, false);
  LogMessageGrid->setColumnWidth(LogMessageModel::kBoardName, 140);
  emit ColumnsChanged();
  BoardNamePanel->clear();
  // The message selected in per-board mode stays selected among all messages.
  const int selected = SelectedMessage();
  FillAll();
  if (model_->RowOf(selected) >= 0) SetCurrentRowSilently(model_->RowOf(selected));
  AllPanel->setText(QString::number(state_.messages.Size()));
  emit PageWanted();
  LogMessageGridClick();
}

void MessageListPage::BoardRadioButtonClick() {
  LogMessageGrid->setColumnHidden(LogMessageModel::kBoardName, true);
  emit ColumnsChanged();
}

void MessageListPage::ShowAllMessages() {
  AllMessageRadioButton->setChecked(true);
  AllMessageRadioButtonClick();
}

int MessageListPage::FilterByBoard(std::string_view board_type, std::string_view board_no,
                                   std::string_view board_name_sjis) {
  const int rows = FillBoard(board_type, board_no);
  BoardRadioButton->setChecked(true);
  BoardRadioButtonClick();
  size_t end = board_name_sjis.size();
  while (end > 0 && static_cast<unsigned char>(board_name_sjis[end - 1]) <= 0x20) --end;
  BoardNamePanel->setText(FromSjis(board_name_sjis.substr(0, end)));
  LogMessageGridClick();
  AllPanel->setText(QString::number(rows));
  emit PageWanted();
  return rows;
}

// ---------------------------------------------------------------------------
// Display

void MessageListPage::ApplyDisplaySettings() {
  ApplyFontGroup(LogMessageGrid, state_.settings.Font(Display::LogMessageList));
  // Rows as high as the font needs, the same for every row.
  LogMessageGrid->verticalHeader()->setDefaultSectionSize(LogMessageGrid->fontMetrics().height() + 4);
  // The Type column as wide as its widest text at this font, never narrower
  // than its own width.
  FitColumn(LogMessageGrid, LogMessageModel::kKind, 35,
            {QStringLiteral("NEW"), QStringLiteral("RES"), QStringLiteral("MAIL")});
}

void MessageListPage::FitTitleColumn(int form_width) {
  const int title = AllMessageRadioButton->isChecked() ? form_width - 401 : form_width - 260;
  LogMessageGrid->setColumnWidth(LogMessageModel::kTitle, std::max(title, 40));
}

// ---------------------------------------------------------------------------
// Marks, the pop-up menu and the keys

void MessageListPage::MarkRowRead() {
  const int message = SelectedMessage();
  if (message < 0) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  if (e.IsMail() || e.Mark() == kRepliedMark) return;
  emit MarkChosen(message, kReadMark);
}

void MessageListPage::OpenPopup(const QPoint& global_pos) {
  const int message = SelectedMessage();
  if (message < 0) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  // The letters of the entry's warning prefix refuse the reply, in both filter
  // modes (the board column shows the prefix only when all messages are listed).
  ResItem->setEnabled(PermittedReply(ReplyRoute::kListPopup, e) != Reply::kNone);
  MoveResItem->setEnabled(MoveReplyPermitted(ReplyRoute::kListPopup, e));
  for (QAction* item : {ReadItem, ResWrittenItem, CheckItem}) item->setEnabled(e.kind() != MessageKind::Mail);
  ReadItem->setChecked(e.Mark() == kReadMark);
  ResWrittenItem->setChecked(e.Mark() == kRepliedMark);
  CheckItem->setChecked(e.Mark() == kCheckedMark);
  LogMessagePopupMenu->popup(global_pos);
}

void MessageListPage::PopupMarkClick(QAction* item) {
  const int message = SelectedMessage();
  if (message < 0 || state_.messages[static_cast<size_t>(message)].IsMail()) return;
  // The item has toggled its own check; the other two are unchecked.
  for (QAction* other : {ReadItem, ResWrittenItem, CheckItem}) {
    if (other != item) other->setChecked(false);
  }
  std::string_view mark;
  if (ReadItem->isChecked()) mark = kReadMark;
  if (ResWrittenItem->isChecked()) mark = kRepliedMark;
  if (CheckItem->isChecked()) mark = kCheckedMark;
  emit MarkChosen(message, mark);
}

// The selected row's message for a reply command: -1 when the row holds none,
// and -1 after the refusal while the editor runs (from the menu, the grid and
// the text view alike: a second composition must not start inside the first
// one's wait).
int MessageListPage::ReplyTarget() {
  const int message = SelectedMessage();
  if (message < 0 || RefusedWhileEditorBusy(state_, *ports_.prompter)) return -1;
  return message;
}

void MessageListPage::ReplyByKey(int message) {
  if (message < 0) return;
  const Reply reply = PermittedReply(ReplyRoute::kCommand, state_.messages[static_cast<size_t>(message)]);
  if (reply == Reply::kMessage) emit ResMessageRequested(message, ReplyOrigin::List);
  if (reply == Reply::kMail) emit ResMailRequested(message, ReplyOrigin::List);
}

void MessageListPage::HandleKey(const MessageKey& key, bool from_text_view) {
  const int row = CurrentRow();
  // The text view acts only while the selected row holds a message.
  if (from_text_view && RowMessage(row) < 0) return;
  if (key.next) {
    if (row + 1 < RowCount()) SelectRow(row + 1);
  } else if (key.previous) {
    if (row > 0) SelectRow(row - 1);
  } else if (key.space) {
    MarkRowRead();
    if (row + 1 < RowCount()) SelectRow(row + 1);
  } else if (key.reply) {
    ReplyByKey(ReplyTarget());
  } else if (key.move) {
    const int message = ReplyTarget();
    if (message >= 0 && MoveReplyPermitted(ReplyRoute::kCommand, state_.messages[static_cast<size_t>(message)])) {
      emit MoveResMessageRequested(message, ReplyOrigin::List);
    }
  }
}

bool MessageListPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LogMessageGrid && event->type() == QEvent::KeyPress) {
    const MessageKey key = ReadMessageKey(static_cast<QKeyEvent*>(event), true);
    if (key.Any()) {
      HandleKey(key, false);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tobrisk::gui
