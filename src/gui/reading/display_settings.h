// Colours and fonts of the stored display groups applied to the views.
#pragma once

#include <QFont>

#include "core/settings/app_settings.h"

class QWidget;

namespace tobrisk::gui {

// The font of a display group: its face (Shift-JIS) with Japanese fallbacks
// when the face is not installed, and its size in points (sizes below 1 keep
// the default size).
QFont FontOfGroup(const FontGroup& group, const QFont& base);

// Background colour, text colour and font of `view` (a grid or text view). A
// colour text that names no colour keeps the view's default colour.
void ApplyFontGroup(QWidget* view, const FontGroup& group);

}  // namespace tobrisk::gui
