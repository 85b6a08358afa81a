// The editor port on QProcess: starts the external editor on a composition file
// and waits for it in a local event loop, so the windows stay live meanwhile.
#pragma once

#include <QString>
#include <QStringList>

#include "core/ports/editor_runner.h"

namespace tobrisk {

class QtEditorRunner final : public EditorRunner {
 public:
  // `editor` is the Editor setting (native path bytes): when it names an
  // existing file it is the program and `file` its one argument; otherwise it
  // is split into words like a command line ("code --wait") and `file` is
  // appended. No shell is involved. The editor inherits the standard streams.
  // Returns once the editor has ended; false when it could not be started.
  bool Run(const std::string& editor, const std::string& file, std::string& error) override;

  // The program and its arguments for `editor` and `file`; empty program when
  // `editor` holds no word.
  static void CommandFor(const QString& editor, const QString& file, QString& program, QStringList& arguments);
};

}  // namespace tobrisk
