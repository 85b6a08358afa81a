#include "gui/widgets/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "core/ports/settings_store.h"

namespace tobrisk::gui {

void RestoreWindowPlacement(QWidget* window, SettingsStore& store, const FormPositionOptions& options) {
  const RestoredPlacement r = RestoreFormPlacement(store, options);
  QPoint pos = window->pos();
  if (r.left) pos.setX(*r.left);
  if (r.top) pos.setY(*r.top);
  // A top-level window stored on a screen that is gone stays where the
  // platform puts it, so that it can be seen.
  const bool on_a_screen = !window->isWindow() || QGuiApplication::screenAt(pos + QPoint(16, 16)) != nullptr;
  if ((r.left || r.top) && on_a_screen) window->move(pos);
  QSize size = window->size();
  if (r.width) size.setWidth(*r.width);
  if (r.height) size.setHeight(*r.height);
  if (r.width || r.height) window->resize(size);
  if (!r.state) return;
  if (window->isVisible()) {
    switch (*r.state) {
      case WindowState::Minimized: window->showMinimized(); break;
      case WindowState::Maximized: window->showMaximized(); break;
      case WindowState::Normal: break;
    }
    return;
  }
  Qt::WindowStates state = window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (*r.state == WindowState::Minimized) state |= Qt::WindowMinimized;
  if (*r.state == WindowState::Maximized) state |= Qt::WindowMaximized;
  window->setWindowState(state);
}

NormalGeometryKeeper::NormalGeometryKeeper(QWidget* window)
    : QObject(window), window_(window), geometry_(window->pos(), window->size()) {
  window->installEventFilter(this);
}

bool NormalGeometryKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                             event->type() == QEvent::WindowStateChange)) {
    if (!(window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
      geometry_ = QRect(window_->pos(), window_->size());
    }
  }
  return QObject::eventFilter(watched, event);
}

void SaveWindowPlacement(const QWidget* window, SettingsStore& store, const FormPositionOptions& options,
                         const NormalGeometryKeeper* normal) {
  WindowPlacement p;
  p.state = window->isMinimized()   ? WindowState::Minimized
            : window->isMaximized() ? WindowState::Maximized
                                    : WindowState::Normal;
  QRect r(window->pos(), window->size());
  if (p.state != WindowState::Normal && normal != nullptr && normal->Geometry().isValid()) r = normal->Geometry();
  p.left = r.x();
  p.top = r.y();
  p.width = r.width();
  p.height = r.height();
  SaveFormPlacement(store, options, p);
  store.Flush();
}

}  // namespace tobrisk::gui
