#include "gui/reading/message_tree_page.h"

#include <QMenu>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <algorithm>

#include "core/reading/read_marks.h"
#include "core/reading/reply_permission.h"
#include "core/text/sjis.h"
#include "gui/reading/message_icons.h"
#include "gui/reading/message_keys.h"
#include "gui/reading/message_tree_model.h"
#include "gui/widgets/popup_menu.h"
#include "gui/writing/editor_busy.h"

namespace tobrisk::gui {
namespace {

// Command numbers of the tree's menu (the items' data).
constexpr int kTreeRes = 100;
constexpr int kTreeMoveRes = 101;
constexpr int kTreeSeparator = 102;
constexpr int kTreeNotRead = 103;
constexpr int kTreeRead = 104;
constexpr int kTreeReplied = 105;
constexpr int kTreeChecked = 106;

}  // namespace

MessageTreePage::MessageTreePage(WorkState& state, const Ports& ports, QWidget* parent)
    : QWidget(parent), state_(state), ports_(ports) {
  setObjectName("TabSheet2");
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(2, 2, 2, 2);
  model_ = new MessageTreeModel(state_.message_tree, this);
  LogMessageTreeView = new MessageTreeView(this);
  LogMessageTreeView->setObjectName("LogMessageTreeView");
  LogMessageTreeView->setModel(model_);
  LogMessageTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LogMessageTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  LogMessageTreeView->setIconSize(QSize(16, 16));
  page->addWidget(LogMessageTreeView);

  connect(LogMessageTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    if (!silent_) LogMessageTreeViewChange();
  });
  connect(LogMessageTreeView, &QAbstractItemView::doubleClicked, this, [this] { DoubleClick(); });
  PopupFilter::Install(LogMessageTreeView, [this](const QPoint& viewport_pos, const QPoint& global_pos) {
    ButtonDown(viewport_pos, global_pos);
  });
  BuildPopup();
}

void MessageTreePage::BuildPopup() {
  LogMessageTreePopupMenu = new QMenu(this);
  LogMessageTreePopupMenu->setObjectName("LogMessageTreePopupMenu");
  struct Item {
    int number;
    const char* name;
    const char* text;
    int icon;
  };
  const Item items[] = {
      {kTreeRes, "TreeResItem", "レス(&R)", -1},
      {kTreeMoveRes, "TreeMoveResItem", "移動レス(&M)", -1},
      {kTreeNotRead, "TreeNotReadItem", "未読(&N)", kIconUnread},
      {kTreeRead, "TreeReadItem", "読み込み済み(&A)", kIconRead},
      {kTreeReplied, "TreeResWrittenItem", "レス書き込み済み(&W)", kIconReplied},
      {kTreeChecked, "TreeCheckItem", "チェック済み(&D)", kIconChecked},
  };
  for (const Item& item : items) {
    if (item.number == kTreeNotRead) LogMessageTreePopupMenu->addSeparator()->setData(kTreeSeparator);
    QAction* action = AddMenuItem(LogMessageTreePopupMenu, item.name, item.text);
    action->setData(item.number);
    if (item.icon >= 0) action->setIcon(MessageImage(item.icon));
    connect(action, &QAction::triggered, this, [this, action] { PopupClick(action); });
  }
  LogMessageTreePopupMenu->addSeparator();
  QAction* save = AddMenuItem(LogMessageTreePopupMenu, "TreeSaveTextItem", "テキストで保存...");
  connect(save, &QAction::triggered, this, [this] {
    const QModelIndex node = model_->index(popup_row_);
    if (node.isValid()) emit SaveTextRequested(node.data(MessageTreeModel::kMessageIndexRole).toInt(), true);
  });
}

// ---------------------------------------------------------------------------
// Filling

QAbstractItemView* MessageTreePage::Tree() const { return LogMessageTreeView; }

int MessageTreePage::Nodes() const { return model_->Nodes(); }

void MessageTreePage::Clear() {
  const QScopedValueRollback<bool> silent(silent_, true);
  LogMessageTreeView->setCurrentIndex(QModelIndex());
  LogMessageTreeView->clearSelection();
  model_->Clear();
}

void MessageTreePage::Fill() {
  SetRowWidth();
  const QScopedValueRollback<bool> silent(silent_, true);
  model_->Fill();
}

void MessageTreePage::CompleteTree() {
  if (!state_.message_tree_rest) return;
  const int selected = SelectedMessage();
  const bool shown = Nodes() > 0;
  if (state_.CompleteMessageTree()) {
    if (!shown) return;
    SetRowWidth();
    model_->NodesAdded();
    return;
  }
  // Built anew: the selected message is selected again where it is now.
  if (!shown) return;
  Clear();
  Fill();
  const TreeNodeId node = selected >= 0 ? state_.message_tree.NodeOfMessage(static_cast<size_t>(selected)) : kNoNode;
  if (node == kNoNode) return;
  const QScopedValueRollback<bool> silent(silent_, true);
  LogMessageTreeView->setCurrentIndex(model_->index(node));
}

void MessageTreePage::SetRowWidth() {
  // Estimated from the longest node's bytes (a double-byte character is about
  // two single-byte ones wide), so that the view never measures every row.
  const MessageTree& tree = state_.message_tree;
  const QFontMetrics metrics = LogMessageTreeView->fontMetrics();
  const int half_width = std::max(metrics.horizontalAdvance(QChar(0x3042)) / 2, metrics.horizontalAdvance(u'0'));
  int widest = 0;
  const std::span<const uint32_t> longest = tree.LongestTextByDepth();
  for (size_t depth = 0; depth < longest.size(); ++depth) {
    widest = std::max(
        widest, static_cast<int>(depth) * MessageTreeDelegate::kIndent + static_cast<int>(longest[depth]) * half_width);
  }
  LogMessageTreeView->Delegate()->SetRowWidth(widest + 40);
}

// ---------------------------------------------------------------------------
// Selection and navigation (a row is a node id: the display order)

int MessageTreePage::CurrentRow() const {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  return current.isValid() ? current.row() : -1;
}

int MessageTreePage::SelectedMessage() const {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  if (!current.isValid()) return -1;
  return current.data(MessageTreeModel::kMessageIndexRole).toInt();
}

void MessageTreePage::LogMessageTreeViewChange() {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  if (!current.isValid()) return;
  emit MessageChosen(current.data(MessageTreeModel::kMessageIndexRole).toInt());
}

void MessageTreePage::SelectRow(int row, bool focus) {
  if (row < 0 || row >= Nodes()) return;
  const QModelIndex node = model_->index(row);
  if (LogMessageTreeView->currentIndex() == node) {
    LogMessageTreeViewChange();
  } else {
    LogMessageTreeView->setCurrentIndex(node);
  }
  LogMessageTreeView->scrollTo(node);
  if (focus) LogMessageTreeView->setFocus();
}

int MessageTreePage::TopRow() const {
  const MessageTree& tree = state_.message_tree;
  if (Nodes() == 0) return -1;
  const auto mails = tree.Children(MessageTree::kMailRoot);
  if (!mails.empty()) return mails.front();
  const TreeNodeId root = tree.MessageRoot();
  if (root == kNoNode || tree.Children(root).empty()) return -1;
  const auto first_board = tree.Children(root).front();
  if (tree.Children(first_board).empty()) return -1;
  return tree.Children(first_board).front();
}

void MessageTreePage::SelectTop() { SelectRow(TopRow()); }
void MessageTreePage::SelectLast() { SelectRow(Nodes() - 1); }

void MessageTreePage::Step(int step) {
  if (Nodes() == 0) return;
  const int current = CurrentRow();
  if (current < 0) {
    SelectTop();
    return;
  }
  const MessageTree& tree = state_.message_tree;
  for (int row = current + step; row >= 0 && row < Nodes(); row += step) {
    if (tree.MessageIndex(row) != -1) {
      SelectRow(row);
      return;
    }
  }
  ports_.prompter->Beep();
}

void MessageTreePage::FindNextByMark(int icon) {
  if (Nodes() == 0) return;
  if (CurrentRow() < 0) {
    SelectTop();
    const int top = CurrentRow();
    if (top < 0) return;
    if (state_.message_tree.Icon(top) == icon) return;
  }
  const MessageTree& tree = state_.message_tree;
  for (int row = CurrentRow() + 1; row < Nodes(); ++row) {
    if (tree.Icon(row) == icon) {
      SelectRow(row);
      return;
    }
  }
  ports_.prompter->Beep();
}

void MessageTreePage::HandleTextKey(const MessageKey& key) {
  const int message = SelectedMessage();
  if (message < 0 || static_cast<size_t>(message) >= state_.messages.Size()) return;
  if (key.next || key.previous) {
    // The nearest message node that way; nothing at either end, as on the list.
    const int step = key.next ? 1 : -1;
    for (int row = CurrentRow() + step; row >= 0 && row < Nodes(); row += step) {
      if (state_.message_tree.MessageIndex(row) != -1) {
        SelectRow(row, false);
        return;
      }
    }
    return;
  }
  if (RefusedWhileEditorBusy(state_, *ports_.prompter)) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  if (key.reply) {
    const Reply reply = PermittedReply(ReplyRoute::kCommand, e);
    if (reply == Reply::kMessage) emit ResMessageRequested(message, ReplyOrigin::Tree);
    if (reply == Reply::kMail) emit ResMailRequested(message, ReplyOrigin::Tree);
  }
  if (key.move && MoveReplyPermitted(ReplyRoute::kCommand, e)) emit MoveResMessageRequested(message, ReplyOrigin::Tree);
  LogMessageTreeView->viewport()->update();
}

// ---------------------------------------------------------------------------
// Marks and the menu

void MessageTreePage::SyncIcon(size_t index) {
  const TreeNodeId node = state_.message_tree.NodeOfMessage(index);
  if (node == kNoNode || static_cast<size_t>(node) >= state_.message_tree.Size()) return;
  if (state_.messages[index].IsMail()) return;  // a mail keeps the mail image
  state_.message_tree.SetIcon(node, IconForMark(state_.messages[index].Mark()));
  model_->IconsChanged();
}

void MessageTreePage::RefreshIcons() {
  MessageTree& tree = state_.message_tree;
  for (size_t id = 0; id < tree.Size(); ++id) {
    const TreeNodeId node = static_cast<TreeNodeId>(id);
    const int32_t message = tree.MessageIndex(node);
    if (message < 0 || static_cast<size_t>(message) >= state_.messages.Size()) continue;
    const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
    if (!e.IsMail()) tree.SetIcon(node, IconForMark(e.Mark()));
  }
  model_->IconsChanged();
}

void MessageTreePage::DoubleClick() {
  const QModelIndex current = LogMessageTreeView->currentIndex();
  if (!current.isValid()) return;
  const int message = current.data(MessageTreeModel::kMessageIndexRole).toInt();
  if (message < 0) return;
  if (current.data(MessageTreeModel::kImageRole).toInt() != kIconUnread) return;
  emit MarkChosen(message, kReadMark);
}

void MessageTreePage::ButtonDown(const QPoint& viewport_pos, const QPoint& global_pos) {
  const QModelIndex node = LogMessageTreeView->indexAt(viewport_pos);
  if (!node.isValid()) return;
  if (LogMessageTreeView->currentIndex() == node) {
    LogMessageTreeViewChange();
  } else {
    LogMessageTreeView->setCurrentIndex(node);
  }
  const std::string text = state_.message_tree.Text(node.row());
  static const std::string kMessageOpen = Sjis("【");
  if (text.substr(0, kMessageOpen.size()) == kMessageOpen || text.substr(0, 3) == "#Fc") {
    OpenPopup(node.row(), global_pos);
  }
}

void MessageTreePage::OpenPopup(int row, const QPoint& global_pos) {
  popup_row_ = row;
  const QModelIndex node = model_->index(row);
  const bool mail = node.data(MessageTreeModel::kImageRole).toInt() == kIconMail;
  // A mail keeps its mail image and no mark of its own: every mail shares one
  // stored mark, so the mark items are for board messages only (as on the list).
  for (QAction* item : LogMessageTreePopupMenu->actions()) {
    if (item->data().toInt() >= kTreeNotRead) item->setEnabled(!mail);
  }
  LogMessageTreePopupMenu->popup(global_pos);
}

void MessageTreePage::PopupClick(QAction* item) {
  const QModelIndex node = model_->index(popup_row_);
  if (!node.isValid()) return;
  const int message = node.data(MessageTreeModel::kMessageIndexRole).toInt();
  if (message < 0 || static_cast<size_t>(message) >= state_.messages.Size()) return;
  const MessageEntry& e = state_.messages[static_cast<size_t>(message)];
  const int number = item->data().toInt();
  if (number == kTreeRes || number == kTreeMoveRes) {
    if (RefusedWhileEditorBusy(state_, *ports_.prompter)) return;
    if (number == kTreeMoveRes) {
      if (MoveReplyPermitted(ReplyRoute::kTreePopup, e)) emit MoveResMessageRequested(message, ReplyOrigin::Tree);
    } else if (PermittedReply(ReplyRoute::kTreePopup, e) == Reply::kMail) {
      emit ResMailRequested(message, ReplyOrigin::Tree);
    } else {
      emit ResMessageRequested(message, ReplyOrigin::Tree);
    }
    LogMessageTreeView->viewport()->update();
    return;
  }
  if (e.IsMail()) return;
  std::string_view mark;
  if (number == kTreeRead) mark = kReadMark;
  if (number == kTreeReplied) mark = kRepliedMark;
  if (number == kTreeChecked) mark = kCheckedMark;
  emit MarkChosen(message, mark);
}

}  // namespace tobrisk::gui
