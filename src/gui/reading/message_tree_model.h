// The rows of LogMessageTreeView: the work state's message tree shown fully
// expanded. Since the tree never collapses, its display order is the order of
// the core tree's node ids, so the model is a flat list of nodes in that order
// and the delegate indents each row by its depth. Texts are converted only for
// the rows being painted.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>

#include "core/reading/message_tree.h"

namespace tobrisk::gui {

class MessageTreeModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role {
    kNodeDepthRole = Qt::UserRole + 1,  // int
    kMessageIndexRole,                  // int, -1 for roots and boards
    kImageRole,                         // int, the image number
  };

  explicit MessageTreeModel(const MessageTree& tree, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Shows no node / the nodes of the tree as it is now.
  void Clear();
  void Fill();
  // Shows the nodes added to the tree after those shown (which kept their places).
  void NodesAdded();
  // Tells the views that icons may have changed.
  void IconsChanged();

  const MessageTree& Tree() const { return tree_; }
  // Number of nodes shown.
  int Nodes() const;

 private:
  const MessageTree& tree_;
  int rows_ = 0;  // the nodes shown: the tree's first ones
};

// Draws a row of the flat tree model indented by 19 pixels per level. Every
// row is as wide as the longest node (SetRowWidth), so the view lays the rows
// out from one size without measuring them.
class MessageTreeDelegate final : public QStyledItemDelegate {
 public:
  static constexpr int kIndent = 19;
  using QStyledItemDelegate::QStyledItemDelegate;
  void SetRowWidth(int width) { row_width_ = width; }
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // The width of the node itself (its icon and text), without its indent.
  int NodeWidth(const QStyleOptionViewItem& option, const QModelIndex& index) const;

 private:
  int row_width_ = 0;  // 0: as the row's own text
};

// The tree's view: a list of rows of one size, so that it keeps no record per
// row beyond the list's position table (a tree view keeps one per row shown,
// and this tree is always fully expanded). It moves as a fully expanded tree
// view does: Left to the parent node, Right to the first child. Unlike other
// item views it does not make its first node current when it receives the
// focus: "no node selected" is a state the navigation commands and searches
// start from.
class MessageTreeView final : public QListView {
 public:
  explicit MessageTreeView(QWidget* parent = nullptr);
  MessageTreeDelegate* Delegate() const { return delegate_; }
  // Also brings the node into view sideways, as a tree view does.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

 private:
  MessageTreeDelegate* delegate_ = nullptr;
};

}  // namespace tobrisk::gui
