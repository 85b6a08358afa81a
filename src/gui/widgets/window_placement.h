// Restores and saves a window's position, size and state in the settings store
// with the rules of settings/form_position.h. Works for top-level windows and for
// the document windows of the main frame (pass the QMdiSubWindow: its position
// is within the frame's document area).
#pragma once

#include <QObject>
#include <QRect>
#include <initializer_list>

#include "core/settings/form_position.h"

class QMainWindow;
class QToolBar;
class QWidget;

namespace tobrisk {
class SettingsStore;
}

namespace tobrisk::gui {

// Applies what is stored for the window (each value only when usable). A hidden
// window gets the state it will be shown in; a shown one changes at once (the
// document windows of the frame take their state only once shown).
void RestoreWindowPlacement(QWidget* window, SettingsStore& store, const FormPositionOptions& options);

// Remembers the last place and size a window had while it was neither
// minimized nor maximized (a child object of the window, watching it).
class NormalGeometryKeeper final : public QObject {
 public:
  explicit NormalGeometryKeeper(QWidget* window);
  QRect Geometry() const { return geometry_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QRect geometry_;
};

// Writes the window's placement and flushes the store. A window minimized or
// maximized stores its last normal place and size when `normal` keeps them, so
// that it comes back there. Throws IoError when the store cannot be written.
void SaveWindowPlacement(const QWidget* window, SettingsStore& store, const FormPositionOptions& options,
                         const NormalGeometryKeeper* normal = nullptr);

// The frame's toolbars in "Settings ToolBars": per bar (by objectName) its
// visibility and its dock, row and position or its floating rectangle, and
// beside them "Layout", the toolkit's own layout of the bars, which alone can
// bring a floating bar back floating where it was. Saving flushes the store
// and throws IoError when it cannot be written.
void SaveToolbarPlacement(QMainWindow* frame, std::initializer_list<QToolBar*> bars, SettingsStore& store);
// Shows, docks and floats the bars as stored; a bar with nothing stored stays
// as it is, and a floating bar comes back fully onto a screen that is there.
void RestoreToolbarPlacement(QMainWindow* frame, std::initializer_list<QToolBar*> bars, SettingsStore& store);

}  // namespace tobrisk::gui
