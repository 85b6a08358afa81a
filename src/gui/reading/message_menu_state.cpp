#include "gui/reading/message_menu_state.h"

#include <QAbstractItemView>

#include "core/reading/reply_permission.h"
#include "gui/reading/log_message_model.h"

namespace tobrisk::gui {
namespace {

// The grid that holds the focus: the focused widget or the view it belongs to.
const QAbstractItemView* FocusedGrid(const QWidget* focused) {
  for (const QWidget* w = focused; w; w = w->parentWidget()) {
    if (const auto* view = qobject_cast<const QAbstractItemView*>(w)) return view;
    if (w->isWindow()) break;
  }
  return nullptr;
}

QString Cell(const QAbstractItemView* grid, int column) {
  const QModelIndex current = grid->currentIndex();
  if (!current.isValid() || !grid->model()) return {};
  return grid->model()->index(current.row(), column).data(Qt::DisplayRole).toString();
}

}  // namespace

MessageMenuState UpdateMessageMenu(const QWidget* focused) {
  MessageMenuState s;
  const QAbstractItemView* grid = FocusedGrid(focused);
  if (!grid) return s;
  const QString name = grid->objectName();
  if (name == QLatin1String("BoardGrid")) {
    if (!Cell(grid, 0).isEmpty()) s.new_message = Cell(grid, 1) != QLatin1String("MAIL");
  } else if (name == QLatin1String("UserGrid")) {
    s.new_mail = !Cell(grid, 0).isEmpty();
  } else if (name == QLatin1String("LogMessageGrid")) {
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid() || Cell(grid, 0).isEmpty()) return s;
    const QModelIndex row = grid->model()->index(current.row(), 0);
    const bool mail = row.data(LogMessageModel::kKindRole).toString() == QLatin1String("MAIL");
    // The letters of the entry's warning prefix, whether or not the board
    // column shows it (it does not in per-board mode).
    const std::string letters = row.data(LogMessageModel::kWarningLettersRole).toString().toStdString();
    const Reply reply = PermittedReply(ReplyRoute::kCommand, mail, letters);
    s.res_mail = reply == Reply::kMail;
    s.res_message = reply == Reply::kMessage;
    s.move_res_message = MoveReplyPermitted(ReplyRoute::kCommand, mail);
  } else if (name == QLatin1String("WriteGrid")) {
    if (Cell(grid, 0).isEmpty()) return s;
    if (!Cell(grid, 1).isEmpty()) {
      s.revive_message = true;
    } else {
      s.edit_message = true;
      s.delete_message = true;
    }
  }
  return s;
}

}  // namespace tobrisk::gui
