#include "gui/reading/message_tree_model.h"

#include <QScrollBar>
#include <algorithm>

#include "gui/reading/message_icons.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {

MessageTreeModel::MessageTreeModel(const MessageTree& tree, QObject* parent)
    : QAbstractListModel(parent), tree_(tree) {}

int MessageTreeModel::Nodes() const { return rows_; }

int MessageTreeModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Nodes(); }

QVariant MessageTreeModel::data(const QModelIndex& index, int role) const {
  // The tree may have been emptied under the view while a log is being opened.
  if (!index.isValid() || index.row() >= Nodes()) return {};
  const TreeNodeId id = index.row();
  switch (role) {
    case Qt::DisplayRole: return FromSjis(tree_.Text(id));
    case Qt::DecorationRole: return MessageImage(tree_.Icon(id));
    case kNodeDepthRole: return tree_.Depth(id);
    case kMessageIndexRole: return tree_.MessageIndex(id);
    case kImageRole: return tree_.Icon(id);
    default: return {};
  }
}

void MessageTreeModel::Clear() {
  beginResetModel();
  rows_ = 0;
  endResetModel();
}

void MessageTreeModel::Fill() {
  beginResetModel();
  rows_ = static_cast<int>(tree_.Size());
  endResetModel();
}

void MessageTreeModel::NodesAdded() {
  const auto size = static_cast<int>(tree_.Size());
  if (rows_ == 0 || size <= rows_) return;
  beginInsertRows(QModelIndex(), rows_, size - 1);
  rows_ = size;
  endInsertRows();
}

void MessageTreeModel::IconsChanged() {
  if (Nodes() > 0) emit dataChanged(index(0), index(Nodes() - 1), {Qt::DecorationRole, kImageRole});
}

void MessageTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem indented = option;
  // The list stretches a row to the viewport; the node ends where the tree's column would.
  if (row_width_ > 0) indented.rect.setWidth(std::min(option.rect.width(), row_width_));
  indented.rect.setLeft(option.rect.left() + kIndent * index.data(MessageTreeModel::kNodeDepthRole).toInt());
  QStyledItemDelegate::paint(painter, indented, index);
}

QSize MessageTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  if (row_width_ > 0) {
    size.setWidth(row_width_);
  } else {
    size.rwidth() += kIndent * index.data(MessageTreeModel::kNodeDepthRole).toInt();
  }
  return size;
}

int MessageTreeDelegate::NodeWidth(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return QStyledItemDelegate::sizeHint(option, index).width();
}

MessageTreeView::MessageTreeView(QWidget* parent) : QListView(parent), delegate_(new MessageTreeDelegate(this)) {
  setItemDelegate(delegate_);
  setUniformItemSizes(true);
  setLayoutMode(QListView::Batched);
  setBatchSize(20000);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

QModelIndex MessageTreeView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // The list knows only the rows it has laid out, which after a fill are the
  // first batches: the last node is the model's.
  if (action == MoveEnd && model() != nullptr && model()->rowCount() > 0) {
    return model()->index(model()->rowCount() - 1, 0);
  }
  if (action != MoveLeft && action != MoveRight) return QListView::moveCursor(action, modifiers);
  const QModelIndex current = currentIndex();
  const auto* nodes = qobject_cast<const MessageTreeModel*>(model());
  if (current.isValid() && nodes != nullptr && current.row() < nodes->Nodes()) {
    const MessageTree& tree = nodes->Tree();
    const TreeNodeId id = current.row();
    if (action == MoveLeft && tree.Parent(id) != kNoNode) return model()->index(tree.Parent(id), 0);
    if (action == MoveRight && !tree.Children(id).empty()) return model()->index(tree.Children(id).front(), 0);
  }
  // No node that way: the view scrolls sideways, as a tree view does.
  QScrollBar* bar = horizontalScrollBar();
  bar->setValue(bar->value() + (action == MoveLeft ? -bar->singleStep() : bar->singleStep()));
  return current;
}

void MessageTreeView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (index.isValid() && !visualRect(index).isValid()) {
    // A row has no place before the fill's first batch is laid out, nor beyond
    // the batches laid out so far: then the rest is laid out now (about 17 ms
    // for 500,000 rows).
    executeDelayedItemsLayout();
    if (!visualRect(index).isValid()) {
      setLayoutMode(SinglePass);
      doItemsLayout();
      setLayoutMode(Batched);
      updateGeometries();  // the scroll bar's range: it is drawn from it before the next layout
    }
  }
  QListView::scrollTo(index, hint);
  if (!index.isValid()) return;
  // A row is as wide as the widest node, so the list takes a row for shown
  // (or scrolls to its left end) whatever its depth: the node starts at its
  // indent. When it is not wholly in view, it is brought in with as much of
  // the indentation before it as the view has room for.
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const int left = MessageTreeDelegate::kIndent * index.data(MessageTreeModel::kNodeDepthRole).toInt();
  const int width = delegate_->NodeWidth(option, index);
  const int room = viewport()->width();
  QScrollBar* bar = horizontalScrollBar();
  if (left >= bar->value() && left + width <= bar->value() + room) return;
  bar->setValue(width <= room ? left + width - room : left);
}

void MessageTreeView::focusInEvent(QFocusEvent* event) {
  if (currentIndex().isValid()) {
    QListView::focusInEvent(event);
  } else {
    // No current node chosen for the user: the item view would pick one.
    QAbstractScrollArea::focusInEvent(event);  // NOLINT(bugprone-parent-virtual-call)
    viewport()->update();
  }
}

}  // namespace tobrisk::gui
