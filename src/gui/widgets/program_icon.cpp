#include "gui/widgets/program_icon.h"

#include <QApplication>

// The resources live in the static GUI library: registered once by hand, since
// nothing else of that file is referenced from the program.
static void InitProgramIconResources() { Q_INIT_RESOURCE(tobrisk); }

namespace tobrisk::gui {

QIcon ProgramIcon() {
  static const QIcon icon = [] {
    InitProgramIconResources();
    // Each size is decoded as it is added, before the first window shows (and
    // an X11 window sends every size to the window manager): 256 pixels, which
    // took as long as all the others together, is left to the launchers, which
    // draw the installed data/tobrisk.svg.
    QIcon i;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
      i.addFile(QStringLiteral(":/icons/tobrisk-%1.png").arg(size), QSize(size, size));
    }
    return i;
  }();
  return icon;
}

void InstallProgramIcon() {
  if (QApplication::windowIcon().cacheKey() != ProgramIcon().cacheKey()) QApplication::setWindowIcon(ProgramIcon());
}

}  // namespace tobrisk::gui
