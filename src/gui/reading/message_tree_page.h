// The message window's tree page ("ログメッセージツリー", TabSheet2): the reply
// tree LogMessageTreeView, its pop-up menu of reply and mark commands, the
// navigation and mark searches on it, and the text view's keys while it shows.
#pragma once

#include <QWidget>
#include <string_view>

#include "core/ports/ports.h"
#include "core/reading/work_state.h"
#include "core/writing/writing_view.h"

class QAction;
class QMenu;
class QAbstractItemView;
class QPoint;

namespace tobrisk::gui {

class MessageTreeModel;
class MessageTreeView;
struct MessageKey;

class MessageTreePage final : public QWidget {
  Q_OBJECT

 public:
  MessageTreePage(WorkState& state, const Ports& ports, QWidget* parent = nullptr);

  QAbstractItemView* Tree() const;
  int Nodes() const;

  // Empties the tree (selection first, then all nodes) / shows the work state's tree.
  void Clear();
  void Fill();
  // Makes the work state's tree whole, when a long list's was shown with its
  // first boards only, and shows the rest (WorkState::CompleteMessageTree).
  void CompleteTree();

  int CurrentRow() const;       // node id, -1 none
  int SelectedMessage() const;  // message index of the selected node, -1 none
  // Selects node `row` and runs the tree step; focuses the tree when `focus`.
  void SelectRow(int row, bool focus = true);
  // The navigation commands: the first message (the first mail, else the
  // first message of the first board), the last node, and the nearest message
  // node before (-1) or after (+1), beeping when there is none.
  void SelectTop();
  void SelectLast();
  void Step(int step);
  // The next node with tree icon `icon` after the selected one; beeps at the end.
  void FindNextByMark(int icon);

  // The icon of message `index`'s node after its mark changed / of every node.
  void SyncIcon(size_t index);
  void RefreshIcons();

  // A message key typed in the text view: it acts on the selected node's message.
  void HandleTextKey(const MessageKey& key);

  // The selection step: the text of the selected node's message.
  void LogMessageTreeViewChange();

 signals:
  // The text view shows message `index`, or nothing for a node without one.
  void MessageChosen(int index);
  void MarkChosen(int index, std::string_view mark);
  void ResMessageRequested(int index, tobrisk::ReplyOrigin from);
  void ResMailRequested(int index, tobrisk::ReplyOrigin from);
  void MoveResMessageRequested(int index, tobrisk::ReplyOrigin from);
  void SaveTextRequested(int index, bool thread);

 private:
  void BuildPopup();
  // Rows as wide as the tree's longest node.
  void SetRowWidth();
  int TopRow() const;
  void DoubleClick();
  // Any button but the left: selects the node under the pointer and opens the
  // menu for a message or mail node.
  void ButtonDown(const QPoint& viewport_pos, const QPoint& global_pos);
  void OpenPopup(int row, const QPoint& global_pos);
  void PopupClick(QAction* item);

  WorkState& state_;
  Ports ports_;
  int popup_row_ = -1;   // node the menu was opened for
  bool silent_ = false;  // selection moved by a fill: no selection step

  MessageTreeView* LogMessageTreeView = nullptr;
  QMenu* LogMessageTreePopupMenu = nullptr;
  MessageTreeModel* model_ = nullptr;
};

}  // namespace tobrisk::gui
