// Restores and saves a window's position, size and state in the settings store
// with the rules of settings/form_position.h. Works for top-level windows and for
// the document windows of the main frame (pass the QMdiSubWindow: its position
// is within the frame's document area).
#pragma once

#include "settings/form_position.h"

class QWidget;

namespace tobrisk {
class SettingsStore;
}

namespace tobrisk::gui {

// Applies what is stored for the window (each value only when usable). A hidden
// window gets the state it will be shown in; a shown one changes at once (the
// document windows of the frame take their state only once shown).
void RestoreWindowPlacement(QWidget* window, SettingsStore& store, const FormPositionOptions& options);

// Writes the window's placement and flushes the store. Throws IoError when the
// store cannot be written.
void SaveWindowPlacement(const QWidget* window, SettingsStore& store, const FormPositionOptions& options);

}  // namespace tobrisk::gui
