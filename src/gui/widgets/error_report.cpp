#include "gui/widgets/error_report.h"

#include <QFile>

#include "core/ports/prompter.h"
#include "core/text/sjis.h"

namespace tobrisk::gui {

void ReportError(Prompter& prompter, const std::exception& error) {
  // The text carries native path bytes (UTF-8 here); the prompter takes Shift-JIS.
  const QString text = QFile::decodeName(error.what());
  prompter.Error(Utf8ToSjis(text.toStdString()));
}

}  // namespace tobrisk::gui
