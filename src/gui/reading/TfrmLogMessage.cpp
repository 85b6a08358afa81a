#include "gui/reading/TfrmLogMessage.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/reading/message_text.h"
#include "core/reading/read_marks.h"
#include "gui/reading/display_settings.h"
#include "gui/reading/log_message_model.h"
#include "gui/reading/message_icons.h"
#include "gui/reading/message_tree_model.h"
#include "gui/reading/text_search.h"
#include "gui/reading/warning_prefix.h"
#include "core/text/bytes.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"
#include "gui/widgets/error_report.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/widgets/list_grid.h"
#include "gui/writing/editor_busy.h"
#include "core/writing/write_list.h"
#include "gui/writing/write_list_model.h"

namespace tobrisk::gui {
namespace {

// Pages of PageControl1.
constexpr int kListPage = 0;
constexpr int kTreePage = 1;
constexpr int kWritePage = 2;

// Commands of the tree's mark menu.
constexpr int kTreeRes = 100;
constexpr int kTreeMoveRes = 101;
constexpr int kTreeNotRead = 103;
constexpr int kTreeRead = 104;
constexpr int kTreeReplied = 105;
constexpr int kTreeChecked = 106;

const std::string& ReadMarkText() {
  static const std::string kMark = Sjis("○");
  return kMark;
}
const std::string& RepliedMarkText() {
  static const std::string kMark = Sjis("●");
  return kMark;
}
const std::string& CheckedMarkText() {
  static const std::string kMark = Sjis("★");
  return kMark;
}

QLabel* MakePanel(QWidget* parent, const char* name, const QString& text) {
  auto* panel = new QLabel(text, parent);
  panel->setObjectName(name);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setAlignment(Qt::AlignCenter);
  panel->setMargin(1);
  return panel;
}

QAction* MakeItem(QMenu* menu, const char* name, const char* text) {
  QAction* item = menu->addAction(Utf(text));
  item->setObjectName(name);
  return item;
}

// Plain typed keys (no Ctrl or Alt); the keypad's digits count as digits.
bool Plain(const QKeyEvent* key) {
  return !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

TfrmLogMessage::TfrmLogMessage(WorkState& state, const Ports& ports, QWidget* parent)
    : QWidget(parent), state_(state), ports_(ports) {
  setObjectName("TfrmLogMessage");
  title_sjis_ = Sjis("メッセージ");
  setWindowTitle(FromSjis(title_sjis_));
  BuildControls();
  BuildListPopup();
  BuildTreePopup();
  BuildWritePopup();
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

  // List page.
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  auto* page1 = new QVBoxLayout(TabSheet1);
  page1->setContentsMargins(2, 2, 2, 2);
  page1->setSpacing(2);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(4);
  AllMessageRadioButton = new QRadioButton(Utf("全件"), TabSheet1);
  AllMessageRadioButton->setObjectName("AllMessageRadioButton");
  AllMessageRadioButton->setChecked(true);
  BoardRadioButton = new QRadioButton(Utf("ボード単位"), TabSheet1);
  BoardRadioButton->setObjectName("BoardRadioButton");
  BoardNamePanel = MakePanel(TabSheet1, "BoardNamePanel", QString());
  BoardNamePanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  NowPanel = MakePanel(TabSheet1, "NowPanel", QStringLiteral("0"));
  AllPanel = MakePanel(TabSheet1, "AllPanel", QStringLiteral("0"));
  for (QLabel* counter : {NowPanel, AllPanel}) {
    counter->setMinimumWidth(counter->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 6);
    counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  auto* colon = new QLabel(Utf("："), TabSheet1);
  colon->setObjectName("ColonLabel");
  bar->addWidget(AllMessageRadioButton);
  bar->addWidget(BoardRadioButton);
  bar->addWidget(BoardNamePanel, 1);
  bar->addWidget(NowPanel);
  bar->addWidget(colon);
  bar->addWidget(AllPanel);
  page1->addLayout(bar);

  list_model_ = new LogMessageModel(state_.messages, this);
  LogMessageGrid = new QTableView(TabSheet1);
  LogMessageGrid->setObjectName("LogMessageGrid");
  LogMessageGrid->setModel(list_model_);
  LogMessageGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  LogMessageGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  LogMessageGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LogMessageGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  LogMessageGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  LogMessageGrid->setWordWrap(false);
  LogMessageGrid->setTabKeyNavigation(false);
  LogMessageGrid->verticalHeader()->hide();
  // Uniform row heights: no row is ever measured, whatever the row count.
  LogMessageGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  LogMessageGrid->horizontalHeader()->setHighlightSections(false);
  LogMessageGrid->horizontalHeader()->setStretchLastSection(false);
  LogMessageGrid->setColumnHidden(LogMessageModel::kSeqNo, true);
  LogMessageGrid->setColumnHidden(LogMessageModel::kBoardNo, true);
  const int widths[] = {0, 140, 26, 48, 35, 135, 161, 0};
  for (int column = 1; column <= LogMessageModel::kTitle; ++column) LogMessageGrid->setColumnWidth(column, widths[column]);
  page1->addWidget(LogMessageGrid, 1);
  PageControl1->addTab(TabSheet1, Utf("ログメッセージ"));

  // Tree page.
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  auto* page2 = new QVBoxLayout(TabSheet2);
  page2->setContentsMargins(2, 2, 2, 2);
  tree_model_ = new MessageTreeModel(state_.message_tree, this);
  LogMessageTreeView = new MessageTreeView(TabSheet2);
  LogMessageTreeView->setObjectName("LogMessageTreeView");
  LogMessageTreeView->setModel(tree_model_);
  LogMessageTreeView->setItemDelegate(new MessageTreeDelegate(LogMessageTreeView));
  LogMessageTreeView->setHeaderHidden(true);
  LogMessageTreeView->setRootIsDecorated(false);
  LogMessageTreeView->setItemsExpandable(false);
  LogMessageTreeView->setExpandsOnDoubleClick(false);
  LogMessageTreeView->setIndentation(MessageTreeDelegate::kIndent);
  LogMessageTreeView->setUniformRowHeights(true);
  LogMessageTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LogMessageTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  LogMessageTreeView->setIconSize(QSize(16, 16));
  LogMessageTreeView->header()->setStretchLastSection(false);
  LogMessageTreeView->header()->setSectionResizeMode(QHeaderView::Fixed);
  page2->addWidget(LogMessageTreeView);
  PageControl1->addTab(TabSheet2, Utf("ログメッセージツリー"));

  // Write page: the write list, one row per written message.
  TabSheet3 = new QWidget;
  TabSheet3->setObjectName("TabSheet3");
  auto* page3 = new QVBoxLayout(TabSheet3);
  page3->setContentsMargins(2, 2, 2, 2);
  write_model_ = new WriteListModel(state_.writes, this);
  WriteGrid = new QTableView(TabSheet3);
  WriteGrid->setObjectName("WriteGrid");
  WriteGrid->setModel(write_model_);
  WriteGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  WriteGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  WriteGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  WriteGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  WriteGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  WriteGrid->setWordWrap(false);
  WriteGrid->setTabKeyNavigation(false);
  WriteGrid->verticalHeader()->hide();
  WriteGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  WriteGrid->horizontalHeader()->setHighlightSections(false);
  WriteGrid->horizontalHeader()->setStretchLastSection(false);
  WriteGrid->setColumnHidden(WriteListModel::kSerialNo, true);
  const int write_widths[] = {0, 24, 140, 40, 170};
  for (int column = 1; column < WriteListModel::kColumns; ++column) {
    WriteGrid->setColumnWidth(column, write_widths[column]);
  }
  page3->addWidget(WriteGrid);
  PageControl1->addTab(TabSheet3, Utf("書き込み"));
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

  // Handlers.
  connect(AllMessageRadioButton, &QRadioButton::clicked, this, &TfrmLogMessage::AllMessageRadioButtonClick);
  connect(BoardRadioButton, &QRadioButton::clicked, this, &TfrmLogMessage::BoardRadioButtonClick);
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int page) {
    if (!activating_page_) PageControl1Change(page);
  });
  connect(LogMessageGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!silent_) LogMessageGridClick();
  });
  connect(LogMessageGrid, &QTableView::doubleClicked, this, [this] { MarkListRowRead(); });
  connect(LogMessageTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    if (!silent_) LogMessageTreeViewChange();
  });
  connect(LogMessageTreeView, &QTreeView::doubleClicked, this, [this] { TreeDoubleClick(); });
  connect(WriteGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!silent_) WriteGridClick();
  });
  connect(search_, &MessageTextSearch::FindRequested, this, [this](bool forward) { FindText(forward); });
  connect(search_, &MessageTextSearch::Closed, this, [this] {
    if (TreePageActive()) LogMessageTreeView->setFocus();
    else LogMessageGrid->setFocus();
  });

  LogMessageGrid->installEventFilter(this);
  LogMessageGrid->viewport()->installEventFilter(this);
  LogMessageTreeView->installEventFilter(this);
  LogMessageTreeView->viewport()->installEventFilter(this);
  WriteGrid->viewport()->installEventFilter(this);
  WriteGrid->installEventFilter(this);
  Memo1->installEventFilter(this);

  auto* find = new QShortcut(QKeySequence::Find, this, this, &TfrmLogMessage::ShowTextSearch);
  find->setContext(Qt::WidgetWithChildrenShortcut);
  auto* next = new QShortcut(QKeySequence::FindNext, this, this, &TfrmLogMessage::FindTextNext);
  next->setContext(Qt::WidgetWithChildrenShortcut);
  auto* previous = new QShortcut(QKeySequence::FindPrevious, this, this, &TfrmLogMessage::FindTextPrevious);
  previous->setContext(Qt::WidgetWithChildrenShortcut);
}

void TfrmLogMessage::BuildListPopup() {
  LogMessagePopupMenu = new QMenu(this);
  LogMessagePopupMenu->setObjectName("LogMessagePopupMenu");
  QAction* res = MakeItem(LogMessagePopupMenu, "ResItem", "レス(&R)");
  QAction* move = MakeItem(LogMessagePopupMenu, "MoveResItem", "移動レス(&M)");
  LogMessagePopupMenu->addSeparator();
  QAction* read = MakeItem(LogMessagePopupMenu, "ReadItem", "○：読み込み済み(&A)");
  QAction* replied = MakeItem(LogMessagePopupMenu, "ResWrittenItem", "●：レス書き込み済み(&W)");
  QAction* checked = MakeItem(LogMessagePopupMenu, "CheckItem", "★：チェック済み(&D)");
  for (QAction* mark : {read, replied, checked}) {
    mark->setCheckable(true);
    connect(mark, &QAction::triggered, this, [this, mark] { ListPopupMarkClick(mark); });
  }
  connect(res, &QAction::triggered, this, [this] { ListPopupResClick(); });
  connect(move, &QAction::triggered, this, [this] { ListPopupMoveResClick(); });
  LogMessagePopupMenu->addSeparator();
  QAction* save = MakeItem(LogMessagePopupMenu, "SaveTextItem", "テキストで保存...");
  connect(save, &QAction::triggered, this, [this] { emit SaveTextRequested(SelectedListMessage(), false); });
}

void TfrmLogMessage::BuildTreePopup() {
  LogMessageTreePopupMenu = new QMenu(this);
  LogMessageTreePopupMenu->setObjectName("LogMessageTreePopupMenu");
  struct Item {
    int number;
    const char* name;
    const char* text;
    int image;
  };
  const Item items[] = {
      {kTreeRes, "TreeResItem", "レス(&R)", -1},
      {kTreeMoveRes, "TreeMoveResItem", "移動レス(&M)", -1},
      {kTreeNotRead, "TreeNotReadItem", "未読(&N)", kImageUnread},
      {kTreeRead, "TreeReadItem", "読み込み済み(&A)", kImageRead},
      {kTreeReplied, "TreeResWrittenItem", "レス書き込み済み(&W)", kImageReplied},
      {kTreeChecked, "TreeCheckItem", "チェック済み(&D)", kImageChecked},
  };
  for (const Item& item : items) {
    if (item.number == kTreeNotRead) LogMessageTreePopupMenu->addSeparator()->setData(102);
    QAction* action = MakeItem(LogMessageTreePopupMenu, item.name, item.text);
    action->setData(item.number);
    if (item.image >= 0) action->setIcon(MessageImage(item.image));
    connect(action, &QAction::triggered, this, [this, action] { TreePopupClick(action); });
  }
  LogMessageTreePopupMenu->addSeparator();
  QAction* save = MakeItem(LogMessageTreePopupMenu, "TreeSaveTextItem", "テキストで保存...");
  connect(save, &QAction::triggered, this, [this] {
    const QModelIndex node = tree_model_->index(tree_popup_row_);
    if (node.isValid()) emit SaveTextRequested(node.data(MessageTreeModel::kMessageIndexRole).toInt(), true);
  });
}

void TfrmLogMessage::BuildWritePopup() {
  WritePopupMenu = new QMenu(this);
  WritePopupMenu->setObjectName("WritePopupMenu");
  QAction* edit = MakeItem(WritePopupMenu, "EditItem", "編集(&R)");
  QAction* remove = MakeItem(WritePopupMenu, "DeleteItem", "削除(&D)");
  QAction* revive = MakeItem(WritePopupMenu, "ReviveItem", "復活(&R)");
  // The entry is found again when the item is chosen: the list may have been
  // output meanwhile.
  connect(edit, &QAction::triggered, this, [this] {
    const int entry = SelectedWriteEntry();
    if (entry >= 0) emit EditMessageRequested(entry);
  });
  connect(remove, &QAction::triggered, this, [this] {
    const int entry = SelectedWriteEntry();
    if (entry >= 0) emit DeleteMessageRequested(entry);
  });
  connect(revive, &QAction::triggered, this, [this] {
    const int entry = SelectedWriteEntry();
    if (entry >= 0) emit ReviveMessageRequested(entry);
  });
}

// ---------------------------------------------------------------------------
// Display settings, title, counters

void TfrmLogMessage::ApplyDisplaySettings() {
  ApplyFontGroup(LogMessageGrid, state_.settings.Font(Display::LogMessageList));
  ApplyFontGroup(WriteGrid, state_.settings.Font(Display::WriteMessageList));
  ApplyFontGroup(Memo1, state_.settings.Font(Display::MessageView));
  // Rows as high as the font needs, the same for every row.
  for (QTableView* grid : {LogMessageGrid, WriteGrid}) {
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
  }
  // The Type columns as wide as their widest text at this font, never narrower
  // than their own width.
  FitColumn(LogMessageGrid, LogMessageModel::kKind, 35,
            {QStringLiteral("NEW"), QStringLiteral("RES"), QStringLiteral("MAIL")});
  FitColumn(WriteGrid, WriteListModel::kKind, 40,
            {QStringLiteral("NEW"), QStringLiteral("RES"), QStringLiteral("Move")});
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

void TfrmLogMessage::SetCounters(int64_t all_count, int64_t now_row) {
  AllPanel->setText(QString::number(all_count));
  NowPanel->setText(QString::number(now_row));
}

void TfrmLogMessage::ClearMessageText() { Memo1->clear(); }

// ---------------------------------------------------------------------------
// Grid and tree filling

void TfrmLogMessage::ClearMessageGrid() {
  if (state_.messages.Empty()) return;
  list_model_->Clear();
}

void TfrmLogMessage::FillMessageGrid() {
  if (state_.messages.Empty()) return;
  list_model_->FillAll();
  SetCurrentListRowSilently(0);
}

int TfrmLogMessage::FillBoardMessageGrid(std::string_view board_type, std::string_view board_no) {
  if (state_.messages.Empty()) return 0;
  const int rows = list_model_->FillBoard(board_type, board_no);
  SetCurrentListRowSilently(0);
  return rows;
}

void TfrmLogMessage::SetCurrentListRowSilently(int row) {
  silent_ = true;
  LogMessageGrid->setCurrentIndex(list_model_->index(row, VisibleListColumn()));
  LogMessageGrid->scrollTo(LogMessageGrid->currentIndex());
  silent_ = false;
}

int TfrmLogMessage::VisibleListColumn() const {
  const int current = LogMessageGrid->currentIndex().column();
  if (current >= 0 && !LogMessageGrid->isColumnHidden(current)) return current;
  return LogMessageModel::kMark;
}

void TfrmLogMessage::ClearMessageTree() {
  silent_ = true;
  LogMessageTreeView->setCurrentIndex(QModelIndex());
  LogMessageTreeView->clearSelection();
  tree_model_->Clear();
  silent_ = false;
}

void TfrmLogMessage::FillMessageTree() {
  silent_ = true;
  tree_model_->Fill();
  silent_ = false;
  // One column as wide as the longest node (estimated from its bytes: a
  // double-byte character is about two single-byte ones wide), so that the
  // view never measures every row.
  const MessageTree& tree = state_.message_tree;
  const QFontMetrics metrics = LogMessageTreeView->fontMetrics();
  const int half_width = std::max(metrics.horizontalAdvance(QChar(0x3042)) / 2, metrics.horizontalAdvance(u'0'));
  int widest = 0;
  for (size_t id = 0; id < tree.Size(); ++id) {
    const TreeNodeId node = static_cast<TreeNodeId>(id);
    widest = std::max(widest, tree.Depth(node) * MessageTreeDelegate::kIndent +
                                  static_cast<int>(tree.Text(node).size()) * half_width);
  }
  LogMessageTreeView->header()->resizeSection(0, widest + 40);
}

// ---------------------------------------------------------------------------
// Selection and text

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

int TfrmLogMessage::ListRowCount() const { return list_model_->rowCount(); }

int TfrmLogMessage::CurrentListRow() const {
  const QModelIndex current = LogMessageGrid->currentIndex();
  return current.isValid() ? current.row() : -1;
}

int TfrmLogMessage::ListRowMessage(int row) const { return list_model_->MessageAt(row); }

int TfrmLogMessage::SelectedListMessage() const { return ListRowMessage(CurrentListRow()); }

int TfrmLogMessage::SelectedTreeMessage() const {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  if (!current.isValid()) return -1;
  return current.data(MessageTreeModel::kMessageIndexRole).toInt();
}

void TfrmLogMessage::SelectListRow(int row) {
  if (row < 0 || row >= ListRowCount()) return;
  if (row == CurrentListRow()) {
    LogMessageGridClick();
  } else {
    LogMessageGrid->setCurrentIndex(list_model_->index(row, VisibleListColumn()));
  }
  LogMessageGrid->scrollTo(list_model_->index(row, VisibleListColumn()));
}

void TfrmLogMessage::LogMessageGridClick() {
  Memo1->clear();
  NowPanel->setText(QStringLiteral("0"));
  const int row = CurrentListRow();
  const int message = ListRowMessage(row);
  if (message < 0) return;
  NowPanel->setText(QString::number(row + 1));
  ShowMessageText(static_cast<size_t>(message));
}

void TfrmLogMessage::LogMessageTreeViewChange() {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  if (!current.isValid()) return;
  Memo1->clear();
  const int message = current.data(MessageTreeModel::kMessageIndexRole).toInt();
  if (message < 0) return;
  ShowMessageText(static_cast<size_t>(message));
}

void TfrmLogMessage::PageControl1Change(int page) {
  if (page == kListPage) LogMessageGridClick();
  if (page == kWritePage) WriteGridClick();
}

// ---------------------------------------------------------------------------
// The write page

int TfrmLogMessage::SelectedWriteEntry() const {
  const QModelIndex current = WriteGrid->currentIndex();
  return current.isValid() ? write_model_->EntryAt(current.row()) : -1;
}

void TfrmLogMessage::WriteGridClick() {
  const int entry = SelectedWriteEntry();
  if (entry < 0) return;
  ShowWrittenMessage(static_cast<size_t>(entry));
}

void TfrmLogMessage::ShowWrittenMessage(size_t write_index) {
  Memo1->clear();
  if (write_index >= state_.writes.size()) return;
  try {
    ShowText(WrittenMessageText(state_, write_index));
  } catch (const IoError& e) {
    ReportError(*ports_.prompter, e);
  }
}

void TfrmLogMessage::AddWriteRow(size_t write_index) {
  const bool first = write_model_->EntryAt(0) < 0;
  write_model_->AddRow(write_index);
  // The grid's selected row starts on its first row.
  if (first && !WriteGrid->currentIndex().isValid()) {
    silent_ = true;
    WriteGrid->setCurrentIndex(write_model_->index(0, WriteListModel::kTargetName));
    silent_ = false;
  }
}

void TfrmLogMessage::RefreshWriteRow(size_t write_index) { write_model_->RefreshRow(write_index); }

void TfrmLogMessage::ClearWriteGrid() {
  silent_ = true;
  write_model_->Clear();
  silent_ = false;
}

void TfrmLogMessage::OpenWritePopup(const QPoint& global_pos) {
  const int entry = SelectedWriteEntry();
  if (entry < 0) return;
  const bool deleted = state_.writes[static_cast<size_t>(entry)].IsDeleted();
  WritePopupMenu->findChild<QAction*>("EditItem")->setEnabled(!deleted);
  WritePopupMenu->findChild<QAction*>("DeleteItem")->setEnabled(!deleted);
  WritePopupMenu->findChild<QAction*>("ReviveItem")->setEnabled(deleted);
  WritePopupMenu->popup(global_pos);
}

void TfrmLogMessage::ActivatePage(int page) {
  activating_page_ = true;
  PageControl1->setCurrentIndex(page);
  activating_page_ = false;
}

int TfrmLogMessage::ShownMessage() const { return TreePageActive() ? SelectedTreeMessage() : SelectedListMessage(); }

bool TfrmLogMessage::TreePageActive() const { return PageControl1->currentIndex() == kTreePage; }
bool TfrmLogMessage::ListPageActive() const { return PageControl1->currentIndex() == kListPage; }

void TfrmLogMessage::ShowOpenPage(int open_page) {
  if (open_page == 0) {
    ActivatePage(kListPage);
    if (!state_.messages.Empty()) SelectListRow(0);
  } else if (open_page == 1) {
    ActivatePage(kTreePage);
    MessageTopButtonClick();
  }
}

// ---------------------------------------------------------------------------
// Filter modes and the resize rule

void TfrmLogMessage::AllMessageRadioButtonClick() {
  LogMessageGrid->setColumnHidden(LogMessageModel::kBoardName, false);
  LogMessageGrid->setColumnWidth(LogMessageModel::kBoardName, 140);
  FormResize();
  BoardNamePanel->clear();
  // The message selected in per-board mode stays selected among all messages.
  const int selected = SelectedListMessage();
  FillMessageGrid();
  if (list_model_->RowOf(selected) >= 0) {
    SetCurrentListRowSilently(list_model_->RowOf(selected));
  }
  AllPanel->setText(QString::number(state_.messages.Size()));
  Memo1->clear();
  ActivatePage(kListPage);
  LogMessageGridClick();
}

void TfrmLogMessage::BoardRadioButtonClick() {
  LogMessageGrid->setColumnHidden(LogMessageModel::kBoardName, true);
  FormResize();
}

void TfrmLogMessage::ShowAllMessages() {
  AllMessageRadioButton->setChecked(true);
  AllMessageRadioButtonClick();
}

int TfrmLogMessage::FilterByBoard(std::string_view board_type, std::string_view board_no,
                                  std::string_view board_name_sjis) {
  const int rows = FillBoardMessageGrid(board_type, board_no);
  BoardRadioButton->setChecked(true);
  BoardRadioButtonClick();
  size_t end = board_name_sjis.size();
  while (end > 0 && static_cast<unsigned char>(board_name_sjis[end - 1]) <= 0x20) --end;
  BoardNamePanel->setText(FromSjis(board_name_sjis.substr(0, end)));
  LogMessageGridClick();
  AllPanel->setText(QString::number(rows));
  ActivatePage(kListPage);
  return rows;
}

void TfrmLogMessage::FormResize() {
  const int w = width();
  const int title = AllMessageRadioButton->isChecked() ? w - 401 : w - 260;
  LogMessageGrid->setColumnWidth(LogMessageModel::kTitle, std::max(title, 40));
  WriteGrid->setColumnWidth(WriteListModel::kTitle, std::max(w - 230, 40));
}

void TfrmLogMessage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

// ---------------------------------------------------------------------------
// Read marks

void TfrmLogMessage::SetMark(size_t index, std::string_view mark) {
  SetReadMark(state_, index, mark);
  SyncTreeIcon(index);
  list_model_->MarksChanged();
  emit ReadMarksChanged();
}

void TfrmLogMessage::SyncTreeIcon(size_t index) {
  const TreeNodeId node = state_.message_tree.NodeOfMessage(index);
  if (node == kNoNode || static_cast<size_t>(node) >= state_.message_tree.Size()) return;
  if (state_.messages[index].IsMail()) return;  // a mail keeps the mail image
  state_.message_tree.SetIcon(node, IconForMark(state_.messages[index].Mark()));
  tree_model_->IconsChanged();
}

void TfrmLogMessage::RefreshMarks() {
  MessageTree& tree = state_.message_tree;
  for (size_t id = 0; id < tree.Size(); ++id) {
    const TreeNodeId node = static_cast<TreeNodeId>(id);
    const int32_t message = tree.MessageIndex(node);
    if (message < 0 || static_cast<size_t>(message) >= state_.messages.Size()) continue;
    const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
    if (!e.IsMail()) tree.SetIcon(node, IconForMark(e.Mark()));
  }
  tree_model_->IconsChanged();
  list_model_->MarksChanged();
}

void TfrmLogMessage::MarkReplied(size_t message_index, ReplyOrigin) {
  if (message_index >= state_.messages.Size()) return;
  SetMark(message_index, RepliedMarkText());
}

void TfrmLogMessage::MarkListRowRead() {
  const int message = SelectedListMessage();
  if (message < 0) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  if (e.IsMail() || e.Mark() == RepliedMarkText()) return;
  SetMark(static_cast<size_t>(message), ReadMarkText());
}

void TfrmLogMessage::OpenListPopup(const QPoint& global_pos) {
  const int message = SelectedListMessage();
  if (message < 0) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  QAction* res = LogMessagePopupMenu->findChild<QAction*>("ResItem");
  QAction* move = LogMessagePopupMenu->findChild<QAction*>("MoveResItem");
  QAction* read = LogMessagePopupMenu->findChild<QAction*>("ReadItem");
  QAction* replied = LogMessagePopupMenu->findChild<QAction*>("ResWrittenItem");
  QAction* checked = LogMessagePopupMenu->findChild<QAction*>("CheckItem");
  for (QAction* item : {res, move, read, replied, checked}) item->setEnabled(true);
  if (e.kind == MessageKind::Mail) {
    for (QAction* item : {move, read, replied, checked}) item->setEnabled(false);
  }
  // The letters of the entry's warning prefix refuse the reply, in both filter
  // modes (the board column shows the prefix only when all messages are listed).
  if (!WarningLetters(e).empty()) res->setEnabled(false);
  read->setChecked(e.Mark() == ReadMarkText());
  replied->setChecked(e.Mark() == RepliedMarkText());
  checked->setChecked(e.Mark() == CheckedMarkText());
  LogMessagePopupMenu->popup(global_pos);
}

void TfrmLogMessage::ListPopupMarkClick(QAction* item) {
  const int message = SelectedListMessage();
  if (message < 0 || state_.messages[static_cast<size_t>(message)].IsMail()) return;
  // The item has toggled its own check; the other two are unchecked.
  QAction* read = LogMessagePopupMenu->findChild<QAction*>("ReadItem");
  QAction* replied = LogMessagePopupMenu->findChild<QAction*>("ResWrittenItem");
  QAction* checked = LogMessagePopupMenu->findChild<QAction*>("CheckItem");
  for (QAction* other : {read, replied, checked}) {
    if (other != item) other->setChecked(false);
  }
  std::string mark;
  if (read->isChecked()) mark = ReadMarkText();
  if (replied->isChecked()) mark = RepliedMarkText();
  if (checked->isChecked()) mark = CheckedMarkText();
  SetMark(static_cast<size_t>(message), mark);
}

// The selected row's message for a reply command: -1 when the row holds none,
// and -1 after the refusal while the editor runs (from the menu, the grid and
// the text view alike: a second composition must not start inside the first
// one's wait).
int TfrmLogMessage::ListReplyTarget() {
  const int message = SelectedListMessage();
  if (message < 0 || RefusedWhileEditorBusy(state_, *ports_.prompter)) return -1;
  return message;
}

void TfrmLogMessage::ListPopupResClick() {
  const int message = ListReplyTarget();
  if (message < 0) return;
  if (state_.messages[static_cast<size_t>(message)].kind == MessageKind::Mail) {
    emit ResMailRequested(message, ReplyOrigin::List);
  } else {
    emit ResMessageRequested(message, ReplyOrigin::List);
  }
}

void TfrmLogMessage::ListPopupMoveResClick() {
  const int message = ListReplyTarget();
  if (message >= 0) emit MoveResMessageRequested(message, ReplyOrigin::List);
}

void TfrmLogMessage::ReplyByKey(int message, ReplyOrigin origin) {
  if (message < 0) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  const std::string letters = WarningLetters(e);
  if (letters.find_first_of("BF") != std::string::npos) return;
  if (e.kind != MessageKind::Mail) {
    emit ResMessageRequested(message, origin);
  } else if (letters.find('W') == std::string::npos) {
    emit ResMailRequested(message, origin);
  }
}

void TfrmLogMessage::MoveReplyByKey(int message, ReplyOrigin origin) {
  if (message >= 0 && state_.messages[static_cast<size_t>(message)].kind != MessageKind::Mail) {
    emit MoveResMessageRequested(message, origin);
  }
}

bool TfrmLogMessage::HandleListKey(QKeyEvent* key, bool from_text_view) {
  if (!Plain(key)) return false;
  const int row = CurrentListRow();
  const QString typed = key->text();
  const bool next = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || typed == u'2';
  const bool previous = key->key() == Qt::Key_Backspace || typed == u'8';
  const bool reply = typed == u'R' || typed == u'r';
  const bool move = typed == u'M' || typed == u'm';
  const bool space = !from_text_view && key->key() == Qt::Key_Space;
  if (!(next || previous || reply || move || space)) return false;
  // The text view acts on the message whose text it shows: the tree's node
  // while the tree page is showing, nothing for a written message.
  if (from_text_view && !ListPageActive()) {
    if (TreePageActive()) HandleTreeTextKey(next, previous, reply, move);
    return true;
  }
  // The text view acts only while the list's selected row holds a message.
  if (from_text_view && ListRowMessage(row) < 0) return true;
  if (next) {
    if (row + 1 < ListRowCount()) SelectListRow(row + 1);
  } else if (previous) {
    if (row > 0) SelectListRow(row - 1);
  } else if (space) {
    MarkListRowRead();
    if (row + 1 < ListRowCount()) SelectListRow(row + 1);
  } else if (reply) {
    ReplyByKey(ListReplyTarget(), ReplyOrigin::List);
  } else if (move) {
    MoveReplyByKey(ListReplyTarget(), ReplyOrigin::List);
  }
  return true;
}

void TfrmLogMessage::HandleTreeTextKey(bool next, bool previous, bool reply, bool move) {
  const int message = SelectedTreeMessage();
  if (message < 0 || static_cast<size_t>(message) >= state_.messages.Size()) return;
  if (next || previous) {
    // The nearest message node that way; nothing at either end, as on the list.
    const int step = next ? 1 : -1;
    for (int row = CurrentTreeRow() + step; row >= 0 && row < tree_model_->Nodes(); row += step) {
      if (state_.message_tree.MessageIndex(row) != -1) {
        SelectTreeRow(row, false);
        return;
      }
    }
    return;
  }
  if (RefusedWhileEditorBusy(state_, *ports_.prompter)) return;
  if (reply) ReplyByKey(message, ReplyOrigin::Tree);
  if (move) MoveReplyByKey(message, ReplyOrigin::Tree);
  LogMessageTreeView->viewport()->update();
}

// ---------------------------------------------------------------------------
// Tree marks and menu

void TfrmLogMessage::TreeDoubleClick() {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  if (!current.isValid()) return;
  const int message = current.data(MessageTreeModel::kMessageIndexRole).toInt();
  if (message < 0) return;
  if (current.data(MessageTreeModel::kImageRole).toInt() != kImageUnread) return;
  SetMark(static_cast<size_t>(message), ReadMarkText());
}

void TfrmLogMessage::OpenTreePopup(int row, const QPoint& global_pos) {
  tree_popup_row_ = row;
  const QModelIndex node = tree_model_->index(row);
  const bool mail = node.data(MessageTreeModel::kImageRole).toInt() == kImageMail;
  // A mail keeps its mail image and no mark of its own: every mail shares one
  // stored mark, so the mark items are for board messages only (as on the list).
  for (QAction* item : LogMessageTreePopupMenu->actions()) {
    const int number = item->data().toInt();
    if (number >= kTreeNotRead) item->setEnabled(!mail);
  }
  LogMessageTreePopupMenu->popup(global_pos);
}

void TfrmLogMessage::TreePopupClick(QAction* item) {
  const QModelIndex node = tree_model_->index(tree_popup_row_);
  if (!node.isValid()) return;
  const int message = node.data(MessageTreeModel::kMessageIndexRole).toInt();
  if (message < 0 || static_cast<size_t>(message) >= state_.messages.Size()) return;
  const int number = item->data().toInt();
  if (number == kTreeRes || number == kTreeMoveRes) {
    if (RefusedWhileEditorBusy(state_, *ports_.prompter)) return;
    if (number == kTreeMoveRes) {
      emit MoveResMessageRequested(message, ReplyOrigin::Tree);
    } else if (node.data(MessageTreeModel::kImageRole).toInt() == kImageMail) {
      emit ResMailRequested(message, ReplyOrigin::Tree);
    } else {
      emit ResMessageRequested(message, ReplyOrigin::Tree);
    }
    LogMessageTreeView->viewport()->update();
    return;
  }
  if (state_.messages[static_cast<size_t>(message)].IsMail()) return;
  std::string mark;
  if (number == kTreeRead) mark = ReadMarkText();
  if (number == kTreeReplied) mark = RepliedMarkText();
  if (number == kTreeChecked) mark = CheckedMarkText();
  SetMark(static_cast<size_t>(message), mark);
}

// ---------------------------------------------------------------------------
// Navigation and searches

void TfrmLogMessage::SelectTreeRow(int row, bool focus) {
  if (row < 0 || row >= tree_model_->Nodes()) return;
  const QModelIndex node = tree_model_->index(row);
  if (LogMessageTreeView->currentIndex() == node) {
    LogMessageTreeViewChange();
  } else {
    LogMessageTreeView->setCurrentIndex(node);
  }
  LogMessageTreeView->scrollTo(node);
  if (focus) LogMessageTreeView->setFocus();
}

int TfrmLogMessage::TreeTopRow() const {
  const MessageTree& tree = state_.message_tree;
  if (tree_model_->Nodes() == 0) return -1;
  const auto mails = tree.Children(MessageTree::kMailRoot);
  if (!mails.empty()) return mails.front();
  const TreeNodeId root = tree.MessageRoot();
  if (root == kNoNode || tree.Children(root).empty()) return -1;
  const auto first_board = tree.Children(root).front();
  if (tree.Children(first_board).empty()) return -1;
  return tree.Children(first_board).front();
}

int TfrmLogMessage::CurrentTreeRow() const {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TfrmLogMessage::MessageTopButtonClick() {
  if (ListPageActive()) {
    SelectListRow(0);
  } else if (TreePageActive()) {
    SelectTreeRow(TreeTopRow());
  }
}

void TfrmLogMessage::MessageLastButtonClick() {
  if (ListPageActive()) {
    SelectListRow(ListRowCount() - 1);
  } else if (TreePageActive()) {
    SelectTreeRow(tree_model_->Nodes() - 1);
  }
}

void TfrmLogMessage::MessageUpButtonClick() { StepMessage(-1); }
void TfrmLogMessage::MessageDownButtonClick() { StepMessage(1); }

void TfrmLogMessage::StepMessage(int step) {
  if (ListPageActive()) {
    const int row = CurrentListRow();
    const int target = row + step;
    if (target < 0 || target >= ListRowCount()) {
      ports_.prompter->Beep();
      return;
    }
    SelectListRow(target);
    return;
  }
  if (!TreePageActive() || tree_model_->Nodes() == 0) return;
  const int current = CurrentTreeRow();
  if (current < 0) {
    MessageTopButtonClick();
    return;
  }
  const MessageTree& tree = state_.message_tree;
  for (int row = current + step; row >= 0 && row < tree_model_->Nodes(); row += step) {
    if (tree.MessageIndex(row) != -1) {
      SelectTreeRow(row);
      return;
    }
  }
  ports_.prompter->Beep();
}

void TfrmLogMessage::FindNextByMark(int image) {
  if (!TreePageActive() || tree_model_->Nodes() == 0) return;
  if (CurrentTreeRow() < 0) {
    MessageTopButtonClick();
    const int top = CurrentTreeRow();
    if (top < 0) return;
    if (state_.message_tree.Icon(top) == image) return;
  }
  const MessageTree& tree = state_.message_tree;
  for (int row = CurrentTreeRow() + 1; row < tree_model_->Nodes(); ++row) {
    if (tree.Icon(row) == image) {
      SelectTreeRow(row);
      return;
    }
  }
  ports_.prompter->Beep();
}

void TfrmLogMessage::FindNoReadButtonClick() { FindNextByMark(kImageUnread); }
void TfrmLogMessage::FindAlreadyButtonClick() { FindNextByMark(kImageRead); }
void TfrmLogMessage::FindAlreadyResButtonClick() { FindNextByMark(kImageReplied); }
void TfrmLogMessage::FindAlreadyCheckButtonClick() { FindNextByMark(kImageChecked); }

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
  const int count = tree ? tree_model_->Nodes() : list_model_->MessageRows();
  const int start = tree ? CurrentTreeRow() : CurrentListRow();
  const size_t size_before = state_.messages.Size();
  const MessageTree* tree_before = &state_.message_tree;
  auto message_at = [this, tree](int position) {
    if (tree) return tree_model_->Nodes() > position ? static_cast<int>(state_.message_tree.MessageIndex(position)) : -1;
    return list_model_->MessageAt(position);
  };
  searching_ = true;
  search_->SetSearching(true);
  search_->SetStatus(Utf("検索中..."));
  TextSearchResult result;
  try {
    result = FindMessageText(state_, count, message_at, start, forward, needle, [&] {
      QApplication::processEvents();
      // A log opened meanwhile ends the search.
      return !search_->StopRequested() && state_.messages.Size() == size_before && tree_before == &state_.message_tree &&
             (tree ? tree_model_->Nodes() : list_model_->MessageRows()) == count;
    });
  } catch (const IoError& e) {
    searching_ = false;
    search_->SetSearching(false);
    search_->SetStatus(QString());
    ReportError(*ports_.prompter, e);
    return;
  }
  searching_ = false;
  search_->SetSearching(false);
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
    SelectTreeRow(result.position);
  } else {
    SelectListRow(result.position);
    LogMessageGrid->setFocus();
  }
  search_->SetStatus(result.wrapped ? (forward ? Utf("先頭から検索しました") : Utf("末尾から検索しました")) : QString());
  // Show the first occurrence in the text, when the match is in the text.
  QTextCursor cursor(Memo1->document());
  Memo1->setTextCursor(cursor);
  if (Memo1->find(needle)) Memo1->ensureCursorVisible();
}

// ---------------------------------------------------------------------------
// Menu enabling

MessageMenuState TfrmLogMessage::UpdateMessageMenu() const { return gui::UpdateMessageMenu(QApplication::focusWidget()); }

// ---------------------------------------------------------------------------
// Events of the grid, the tree and the text view

bool TfrmLogMessage::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == LogMessageGrid && type == QEvent::KeyPress) {
    return HandleListKey(static_cast<QKeyEvent*>(event), false) || QWidget::eventFilter(watched, event);
  }
  // Any button but the left opens the write list's menu for the selected row.
  if (watched == WriteGrid->viewport() && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
      if (type == QEvent::MouseButtonPress) OpenWritePopup(mouse->globalPosition().toPoint());
      return true;
    }
  }
  if (watched == WriteGrid && type == QEvent::ContextMenu) {
    auto* menu_event = static_cast<QContextMenuEvent*>(event);
    if (menu_event->reason() == QContextMenuEvent::Keyboard) {
      const QRect rect = WriteGrid->visualRect(WriteGrid->currentIndex());
      OpenWritePopup(WriteGrid->viewport()->mapToGlobal(rect.isValid() ? rect.center() : QPoint(0, 0)));
    }
    return true;
  }
  if (watched == Memo1 && type == QEvent::KeyPress) {
    return HandleListKey(static_cast<QKeyEvent*>(event), true) || QWidget::eventFilter(watched, event);
  }
  // Any button but the left opens the list menu for the row already selected.
  if (watched == LogMessageGrid->viewport() &&
      (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
      if (type == QEvent::MouseButtonPress) OpenListPopup(mouse->globalPosition().toPoint());
      return true;
    }
  }
  if (watched == LogMessageGrid && type == QEvent::ContextMenu) {
    auto* menu_event = static_cast<QContextMenuEvent*>(event);
    if (menu_event->reason() == QContextMenuEvent::Keyboard) {
      const QRect rect = LogMessageGrid->visualRect(LogMessageGrid->currentIndex());
      OpenListPopup(LogMessageGrid->viewport()->mapToGlobal(rect.isValid() ? rect.center() : QPoint(0, 0)));
    }
    return true;
  }
  // Any button but the left selects the node under the pointer and opens the
  // tree menu for a message or mail node.
  if (watched == LogMessageTreeView->viewport() &&
      (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
      if (type == QEvent::MouseButtonPress) TreeButtonDown(mouse->position().toPoint(), mouse->globalPosition().toPoint());
      return true;
    }
  }
  if (watched == LogMessageTreeView && type == QEvent::ContextMenu) {
    auto* menu_event = static_cast<QContextMenuEvent*>(event);
    if (menu_event->reason() == QContextMenuEvent::Keyboard && CurrentTreeRow() >= 0) {
      const QRect rect = LogMessageTreeView->visualRect(LogMessageTreeView->currentIndex());
      TreeButtonDown(rect.center(), LogMessageTreeView->viewport()->mapToGlobal(rect.center()));
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmLogMessage::TreeButtonDown(const QPoint& viewport_pos, const QPoint& global_pos) {
  const QModelIndex node = LogMessageTreeView->indexAt(viewport_pos);
  if (!node.isValid()) return;
  if (LogMessageTreeView->currentIndex() == node) {
    LogMessageTreeViewChange();
  } else {
    LogMessageTreeView->setCurrentIndex(node);
  }
  const std::string_view text = state_.message_tree.Text(node.row());
  static const std::string kMessageOpen = Sjis("【");
  if (text.substr(0, kMessageOpen.size()) == kMessageOpen || text.substr(0, 3) == "#Fc") {
    OpenTreePopup(node.row(), global_pos);
  }
}

}  // namespace tobrisk::gui
