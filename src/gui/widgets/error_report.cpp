#include "gui/widgets/error_report.h"

#include <QFile>
#include <new>

#include "core/ports/prompter.h"
#include "core/text/sjis.h"

namespace tobrisk::gui {

void ReportError(Prompter& prompter, const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
    prompter.Error(Sjis("メモリが足りません。"));
    return;
  }
  // The text carries native path bytes (UTF-8 here); the prompter takes Shift-JIS.
  const QString text = QFile::decodeName(error.what());
  prompter.Error(Utf8ToSjis(text.toStdString()));
}

}  // namespace tobrisk::gui
