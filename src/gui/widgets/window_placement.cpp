#include "gui/widgets/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QToolBar>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "core/ports/settings_store.h"
#include "core/settings/app_settings.h"

namespace tobrisk::gui {
namespace {

// The value beside the toolbars' keys holding the toolkit's layout of the bars.
constexpr const char* kToolbarLayoutValue = "Layout";

const char* DockName(Qt::ToolBarArea area) {
  switch (area) {
    case Qt::LeftToolBarArea: return "DockLeft";
    case Qt::RightToolBarArea: return "DockRight";
    default: return "DockTop";
  }
}

struct PlacedToolbar {
  QToolBar* bar;
  Qt::ToolBarArea area;
  int row;
  int pos;
};

// Docks the bars in their areas, rows and positions.
void PlaceToolbars(QMainWindow* frame, std::vector<PlacedToolbar>& placed) {
  std::stable_sort(placed.begin(), placed.end(), [](const PlacedToolbar& a, const PlacedToolbar& b) {
    if (a.area != b.area) return a.area < b.area;
    if (a.row != b.row) return a.row < b.row;
    return a.pos < b.pos;
  });
  for (size_t i = 0; i < placed.size(); ++i) {
    const bool visible = !placed[i].bar->isHidden();
    frame->removeToolBar(placed[i].bar);
    if (i > 0 && placed[i].area == placed[i - 1].area && placed[i].row != placed[i - 1].row) {
      frame->addToolBarBreak(placed[i].area);
    }
    frame->addToolBar(placed[i].area, placed[i].bar);
    placed[i].bar->setVisible(visible);
  }
}

// A bar stored as floating: the stored layout floats it again, on a screen.
void RestoreFloatingToolbars(QMainWindow* frame, std::initializer_list<QToolBar*> bars, SettingsStore& store) {
  const std::string layout = ReadRegString(store, std::string(kToolbarSection), kToolbarLayoutValue, "");
  if (layout.empty() || !frame->restoreState(QByteArray::fromBase64(QByteArray::fromStdString(layout)))) return;
  for (QToolBar* bar : bars) {
    if (!bar->isFloating()) continue;
    // Fully onto a screen that is there now.
    const QScreen* screen = QGuiApplication::screenAt(bar->geometry().center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) continue;
    const QRect area = screen->availableGeometry();
    QRect r = bar->frameGeometry();
    r.moveLeft(std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width())));
    r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height())));
    bar->move(r.topLeft());
  }
}

}  // namespace

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

void SaveToolbarPlacement(QMainWindow* frame, std::initializer_list<QToolBar*> bars, SettingsStore& store) {
  for (QToolBar* bar : bars) {
    ToolbarState t;
    t.visible = !bar->isHidden();
    const Qt::ToolBarArea area = frame->toolBarArea(bar);
    if (bar->isFloating()) {
      t.docked_to = "nil";
      const QRect r = bar->frameGeometry();
      t.float_left = r.left();
      t.float_top = r.top();
      t.float_right = r.right() + 1;
      t.float_bottom = r.bottom() + 1;
    } else {
      t.docked_to = DockName(area);
      const bool horizontal = area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea;
      // Row: how many distinct lines of the same dock lie before this bar's line.
      std::vector<int> lines;
      for (QToolBar* other : bars) {
        if (frame->toolBarArea(other) != area || other->isFloating()) continue;
        lines.push_back(horizontal ? other->y() : other->x());
      }
      std::sort(lines.begin(), lines.end());
      lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
      const int line = horizontal ? bar->y() : bar->x();
      t.dock_row = static_cast<int>(std::lower_bound(lines.begin(), lines.end(), line) - lines.begin());
      t.dock_pos = horizontal ? bar->x() : bar->y();
    }
    SaveToolbarState(store, bar->objectName().toStdString(), t);
  }
  // Beside the keys above, the toolkit's own layout of the bars, which alone
  // can bring a floating bar back floating where it was.
  WriteRegString(store, std::string(kToolbarSection), kToolbarLayoutValue, frame->saveState().toBase64().toStdString());
  store.Flush();
}

void RestoreToolbarPlacement(QMainWindow* frame, std::initializer_list<QToolBar*> bars, SettingsStore& store) {
  std::vector<PlacedToolbar> placed;
  bool floating = false;
  for (QToolBar* bar : bars) {
    ToolbarState current;
    current.visible = !bar->isHidden();
    const ToolbarState t = LoadToolbarState(store, bar->objectName().toStdString(), current);
    bar->setVisible(t.visible);
    if (t.docked_to.empty()) continue;
    floating = floating || t.docked_to == "nil";
    Qt::ToolBarArea area;
    // "nil" (floating) is docked on top unless the layout floats it.
    if (t.docked_to == "DockTop" || t.docked_to == "nil") area = Qt::TopToolBarArea;
    else if (t.docked_to == "DockLeft") area = Qt::LeftToolBarArea;
    else if (t.docked_to == "DockRight") area = Qt::RightToolBarArea;
    else continue;
    placed.push_back({bar, area, t.dock_row, t.dock_pos});
  }
  if (placed.empty()) return;
  PlaceToolbars(frame, placed);
  if (floating) RestoreFloatingToolbars(frame, bars, store);
}

}  // namespace tobrisk::gui
