// The seam in front of the platform's file and folder dialogs. Windows ask
// ActiveFileChooser(); tests install their own chooser with ScopedFileChooser
// and answer the dialogs without showing them.
#pragma once

#include <QString>
#include <QStringList>
#include <string_view>

class QWidget;

namespace tobrisk::gui {

struct OpenFilesRequest {
  QString title;
  QString directory;         // starting folder; empty for the current directory
  QStringList name_filters;  // Qt form: "description (pattern pattern)"
  bool multiple = false;     // several files may be chosen
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Existing files chosen by the user, full paths in the dialog's order; empty
  // when the dialog was cancelled.
  virtual QStringList OpenFiles(QWidget* parent, const OpenFilesRequest& request) = 0;
  // An existing folder, or empty when cancelled.
  virtual QString ChooseDirectory(QWidget* parent, const QString& title, const QString& directory) = 0;
  // A file or folder name to write, starting at `path`; empty when cancelled.
  // The caller asks before replacing an existing one.
  virtual QString SaveFile(QWidget* parent, const QString& title, const QString& path);
};

// The chooser windows use: the platform dialogs unless a test installed another.
FileChooser& ActiveFileChooser();

// Installs `chooser` for its lifetime and restores the previous one afterwards.
class ScopedFileChooser {
 public:
  explicit ScopedFileChooser(FileChooser& chooser);
  ~ScopedFileChooser();
  ScopedFileChooser(const ScopedFileChooser&) = delete;
  ScopedFileChooser& operator=(const ScopedFileChooser&) = delete;

 private:
  FileChooser* previous_;
};

// The program's filter text (Shift-JIS "description|pattern|description|pattern")
// as Qt name filters. Patterns match without regard to case, since captures
// keep whatever case the terminal program gave them, and "*.*" matches every
// file, also one without an extension.
QStringList NameFiltersFromFilterText(std::string_view sjis_filter);

}  // namespace tobrisk::gui
