// The program's own icon, carried by every window: the main window, the windows
// inside it, the dialogs and the composition editor.
#pragma once

#include <QIcon>

namespace tobrisk::gui {

// The icon in every size it is drawn in (rendered from data/tobrisk.svg).
QIcon ProgramIcon();

// Makes it the application's window icon, which every window without an icon
// of its own shows (the document windows of the frame included).
void InstallProgramIcon();

}  // namespace tobrisk::gui
