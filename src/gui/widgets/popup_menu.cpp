#include "gui/widgets/popup_menu.h"

#include <QAbstractItemView>
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

namespace tobrisk::gui {

PopupFilter::PopupFilter(QAbstractItemView* view, OpenFn open)
    : QObject(view), view_(view), viewport_(view->viewport()), open_(std::move(open)) {
  view->installEventFilter(this);
  viewport_->installEventFilter(this);
}

void PopupFilter::Install(QAbstractItemView* view, OpenFn open) { new PopupFilter(view, std::move(open)); }

bool PopupFilter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == viewport_ && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) return false;
    if (type == QEvent::MouseButtonPress) open_(mouse->position().toPoint(), mouse->globalPosition().toPoint());
    return true;
  }
  if (watched == view_ && type == QEvent::ContextMenu) {
    const auto* menu_event = static_cast<QContextMenuEvent*>(event);
    if (menu_event->reason() == QContextMenuEvent::Keyboard && view_->currentIndex().isValid()) {
      const QRect rect = view_->visualRect(view_->currentIndex());
      const QPoint at = rect.isValid() ? rect.center() : QPoint(0, 0);
      open_(at, view_->viewport()->mapToGlobal(at));
    }
    return true;
  }
  return false;
}

QAction* AddMenuItem(QMenu* menu, const char* object_name, const char* utf8_text) {
  QAction* item = menu->addAction(QString::fromUtf8(utf8_text));
  item->setObjectName(QString::fromLatin1(object_name));
  return item;
}

}  // namespace tobrisk::gui
