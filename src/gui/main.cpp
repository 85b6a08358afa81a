// Tobrisk: the desktop program.
#include <QApplication>

#include "platform/qt_settings_store.h"
#include "platform/system_clock.h"
#include "ports/progress.h"
#include "shell/TfrmMain.h"
#include "widgets/gui_prompter.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8("Tobrisk for Windows95"));
  QApplication::setApplicationDisplayName(QString::fromUtf8("Tobrisk for Windows95"));

  tobrisk::gui::GuiPrompter prompter;
  tobrisk::NullProgress progress;
  tobrisk::SystemClock clock;
  tobrisk::QtSettingsStore store;
  tobrisk::Ports ports;
  ports.prompter = &prompter;
  ports.progress = &progress;
  ports.clock = &clock;
  ports.store = &store;

  tobrisk::gui::TfrmMain main_window(ports);
  prompter.SetParent(&main_window);
  main_window.show();
  return app.exec();
}
