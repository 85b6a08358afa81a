#include "gui/widgets/file_chooser.h"

#include <QFileDialog>

#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

class DialogFileChooser final : public FileChooser {
 public:
  QStringList OpenFiles(QWidget* parent, const OpenFilesRequest& request) override {
    QFileDialog dialog(parent, request.title, request.directory);
    dialog.setObjectName("OpenDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!request.name_filters.isEmpty()) dialog.setNameFilters(request.name_filters);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
  }

  QString ChooseDirectory(QWidget* parent, const QString& title, const QString& directory) override {
    return QFileDialog::getExistingDirectory(parent, title, directory);
  }
};

}  // namespace

QString FileChooser::SaveFile(QWidget* parent, const QString& title, const QString& path) {
  return QFileDialog::getSaveFileName(parent, title, path, QString(), nullptr, QFileDialog::DontConfirmOverwrite);
}

namespace {

DialogFileChooser& DialogChooser() {
  static DialogFileChooser chooser;
  return chooser;
}

FileChooser* active_chooser = nullptr;

// "abc*.LOG" -> "[Aa][Bb][Cc]*.[Ll][Oo][Gg]"
QString CaseBlindPattern(const QString& pattern) {
  if (pattern == QStringLiteral("*.*")) return QStringLiteral("*");
  QString out;
  for (const QChar c : pattern) {
    const QChar lower = c.toLower();
    const QChar upper = c.toUpper();
    if (lower != upper && c.unicode() < 0x80) {
      out += '[';
      out += upper;
      out += lower;
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

FileChooser& ActiveFileChooser() { return active_chooser ? *active_chooser : DialogChooser(); }

ScopedFileChooser::ScopedFileChooser(FileChooser& chooser) : previous_(active_chooser) { active_chooser = &chooser; }

ScopedFileChooser::~ScopedFileChooser() { active_chooser = previous_; }

QStringList NameFiltersFromFilterText(std::string_view sjis_filter) {
  const QStringList items = FromSjis(sjis_filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : items[i + 1].split(';', Qt::SkipEmptyParts)) patterns << CaseBlindPattern(p.trimmed());
    filters << items[i] + QStringLiteral(" (") + patterns.join(' ') + ')';
  }
  return filters;
}

}  // namespace tobrisk::gui
