// Restores and saves a window's position, size and state in the settings store
// with the rules of settings/form_position.h. Works for top-level windows and for
// the document windows of the main frame (pass the QMdiSubWindow: its position
// is within the frame's document area).
#pragma once

#include <QObject>
#include <QRect>

#include "core/settings/form_position.h"

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

}  // namespace tobrisk::gui
