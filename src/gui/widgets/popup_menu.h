// Pop-up menus of item views: one filter opens a view's menu the way the
// message window's views do, and menu items carry their objectName.
#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;
class QAction;
class QMenu;
class QPoint;

namespace tobrisk::gui {

// Opens `view`'s pop-up menu: any mouse button but the left, pressed on the
// view's area, at the pointer (its double click is swallowed too), and the
// keyboard's menu key at the current item (nothing without one). Every other
// context-menu event of the view is swallowed. `open` gets the point in the
// viewport's and in global coordinates. A child object of the view.
class PopupFilter final : public QObject {
 public:
  using OpenFn = std::function<void(const QPoint& viewport_pos, const QPoint& global_pos)>;
  static void Install(QAbstractItemView* view, OpenFn open);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PopupFilter(QAbstractItemView* view, OpenFn open);

  QAbstractItemView* view_;
  // Kept apart from the view: events still reach the filter while the view is
  // being destroyed, when its own functions may no longer be called.
  QWidget* viewport_;
  OpenFn open_;
};

// A new last item of `menu` with the given objectName and text (UTF-8).
QAction* AddMenuItem(QMenu* menu, const char* object_name, const char* utf8_text);

}  // namespace tobrisk::gui
