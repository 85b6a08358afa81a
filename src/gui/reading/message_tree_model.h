// The rows of LogMessageTreeView: the work state's message tree shown fully
// expanded. Since the tree never collapses, its display order is the order of
// the core tree's node ids, so the model is a flat list of nodes in that order
// and the delegate indents each row by its depth. Texts are converted only for
// the rows being painted.
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <QTreeView>

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
  // Tells the views that icons may have changed.
  void IconsChanged();

  bool Shown() const { return shown_; }
  const MessageTree& Tree() const { return tree_; }
  // Number of nodes shown.
  int Nodes() const;

 private:
  const MessageTree& tree_;
  bool shown_ = false;
};

// Draws a row of the flat tree model indented by 19 pixels per level.
class MessageTreeDelegate final : public QStyledItemDelegate {
 public:
  static constexpr int kIndent = 19;
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The tree's view. Unlike other item views it does not make its first node
// current when it receives the focus: "no node selected" is a state the
// navigation commands and searches start from.
class MessageTreeView final : public QTreeView {
 public:
  using QTreeView::QTreeView;

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

}  // namespace tobrisk::gui
