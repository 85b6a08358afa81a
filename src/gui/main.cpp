// Tobrisk: the desktop program. `tobrisk [FILE...]` starts it in the current
// folder (its work folder) and opens the given logs as the open-log dialog does.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/reading/open_logs.h"
#include "core/text/files.h"
#include "platform/qt_settings_store.h"
#include "platform/system_clock.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/session_end.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/writing/writing_commands.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: tobrisk [OPTION]... [FILE]...\n"
      "Offline reader and writer for the NORU host's captured logs.\n"
      "\n"
      "The current folder is the work folder: NET.TDT, the read marks (.RAD), the\n"
      "board and member files (.BRD, .USR), NOESC.LOG and the tmp folder live there.\n"
      "One desktop program at a time may use a work folder (TOBRISK.LCK holds it).\n"
      "Each FILE is a captured log (*.LOG) of one net; the logs given are opened\n"
      "together once the window is up, as with File > Open log. Logs may also be\n"
      "dropped onto the window.\n"
      "\n"
      "Options:\n"
      "  -h, --help   show this text and exit\n"
      "  --           end of options: every later argument is a FILE\n"
      "\n"
      "Settings are kept in $XDG_CONFIG_HOME/Tobrisk95/Tobrisk95.ini\n"
      "(~/.config/Tobrisk95/Tobrisk95.ini when XDG_CONFIG_HOME is not set).\n",
      out);
}

// The arguments that name existing files, read ahead for the current folder;
// null when there are none, or when another program uses the folder (the
// program will not start, and the reading would only cost it time).
std::unique_ptr<tobrisk::LogsReadAhead> ReadAheadOfArguments(int argc, char** argv) {
  std::vector<std::string> files;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    if (!options_done && std::strcmp(argv[i], "--") == 0) {
      options_done = true;
    } else if ((options_done || argv[i][0] != '-') && tobrisk::FileExists(argv[i])) {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty() || tobrisk::gui::WorkFolderInUse(QDir::currentPath())) return nullptr;
  try {
    return std::make_unique<tobrisk::LogsReadAhead>(files, tobrisk::CurrentDirectory());
  } catch (const std::exception&) {
    return nullptr;  // the open reads them as usual
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The program's own options are read before the toolkit starts, so that
  // --help works without a display. Qt's own options (-platform, ...) pass on.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      PrintUsage(stdout);
      return 0;
    }
  }

  // The logs start being read while the toolkit starts and the window is
  // built. Qt's own options are not known yet: what may be a log is read, and
  // the open takes it only when it opens exactly these files.
  std::unique_ptr<tobrisk::LogsReadAhead> read_ahead = ReadAheadOfArguments(argc, argv);

  QApplication app(argc, argv);
  // The toolkit's own texts (the file dialogs, the menus of text fields) in
  // Japanese like the program's, whatever the system's language, when the
  // system has Qt's translations (Debian: qt6-translations-l10n).
  QTranslator toolkit_texts;
  if (toolkit_texts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&toolkit_texts);
  }
  tobrisk::gui::GuiPrompter prompter;
  // One desktop program per work folder. Taken before the application title is
  // set: the lock records the program's name, which tells a lock left by a
  // killed run from one that is held.
  const std::unique_ptr<QLockFile> folder_lock = tobrisk::gui::LockWorkFolder(QDir::currentPath(), prompter);
  if (!folder_lock) return 1;
  // The application title. Not set as the display name: the platform would
  // append that to every window caption, and the captions are the program's own.
  QApplication::setApplicationName(QStringLiteral("Tobrisk for Windows95"));
  QApplication::setDesktopFileName(QStringLiteral("tobrisk"));

  // Qt removes its own options from argv; take the logs from what remains,
  // as the file system names them (an old archive's names are Shift-JIS).
  std::vector<std::string> files;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    if (!options_done && std::strcmp(argv[i], "--") == 0) {
      options_done = true;
      continue;
    }
    if (!options_done && argv[i][0] == '-') {
      std::fprintf(stderr, "tobrisk: unknown option %s\n", argv[i]);
      PrintUsage(stderr);
      return 2;
    }
    files.emplace_back(argv[i]);
  }

  tobrisk::SystemClock clock;
  tobrisk::QtSettingsStore store;
  tobrisk::Ports ports;
  ports.prompter = &prompter;
  ports.clock = &clock;
  ports.store = &store;
  // The editor port is the writing commands' own: the built-in editor or the external one.

  tobrisk::gui::TfrmMain main_window(ports);
  main_window.SetReadAhead(std::move(read_ahead));
  new tobrisk::gui::WritingCommands(main_window);  // a child of the frame
  prompter.SetParent(&main_window);
  tobrisk::gui::SessionEnd session_end(main_window);
  main_window.show();
  // Messages a previous run left pending come first: they decide the net.
  QTimer::singleShot(0, &main_window, [&main_window, files] {
    main_window.OfferPreviousWrites();
    if (!files.empty()) main_window.OpenLogPaths(files);
  });
  return app.exec();
}
